#pragma once
// The prompter of the window: message boxes, the node picker, file and folder dialogs,
// the named dialogs and the progress dialog of long operations. Questions asked from a
// worker thread are shown by the user-interface thread while the worker waits.

#include "base/prompter.h"

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class QWidget;

namespace korvel {

class FieldDialog;

class Session;

// The name filters of PickCatalogueFiles: catalogue files first, every file on request.
extern const QStringList kCatalogueFileFilters;

class GuiPrompter final : public Prompter {
public:
    // The prompter of session: its node picker shows the session's nodes.
    explicit GuiPrompter(Session& session) : session_(session) {}

    void Message(const QString& text, const QString& caption, MsgIcon icon) override;
    bool Confirm(const QString& text, const QString& caption) override;
    bool ConfirmQuestion(const QString& text, const QString& caption) override;
    bool AskYesNo(const QString& text, const QString& caption) override;
    std::optional<QString> PickNode() override;
    // All three start in the last folder of their kind (config.cnf), home the first time.
    std::optional<QString> PickFolder(PickKind kind) override;
    std::optional<QStringList> PickFiles(PickKind kind) override;
    std::optional<QStringList> PickCatalogueFiles() override;
    bool EditDialog(const QString& dialog, DialogFields& fields) override;
    int FourAnswer(const QString& text, int preset) override;
    bool OpenWithDesktop(const QString& path) override;
    void RunLongOperation(LongOperation& op, const std::function<void()>& worker) override;
    void RunInBackground(const BackgroundJob& job) override;
    ~GuiPrompter() override;  // stops the background jobs and waits for them
    // Into the main window's status bar (the progress dialog showed it already).
    void ShowSummary(const QString& text) override;

    // Parent of the dialogs (the main window); nullptr: the active window.
    void SetParentWindow(QWidget* w) { parent_ = w; }

private:
    QWidget* Parent() const;
    Session& session_;
    QWidget* parent_ = nullptr;
    // A background job: its thread and stop flag (its text and stop button sit in the
    // status bar until it ends).
    struct Background {
        std::atomic<bool> stop{false};
        std::atomic<bool> ended{false};
        std::thread thread;
    };
    std::vector<std::unique_ptr<Background>> background_;
    // The long operation under the progress dialog, while one runs: a warning shown meanwhile
    // is one of its failures.
    std::atomic<LongOperation*> longOperation_{nullptr};
};

// The dialog class behind a dialog name of base/dialogs.h, asking for session (when
// given); nullptr for an unknown name.
std::unique_ptr<FieldDialog> MakeFieldDialog(const QString& dialog, QWidget* parent, Session* session = nullptr);

}  // namespace korvel
