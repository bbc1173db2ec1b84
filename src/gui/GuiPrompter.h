#pragma once
// The prompter of the window: message boxes, the node picker, file and folder dialogs,
// the named dialogs and the progress dialog of long operations. Questions asked from a
// worker thread are shown by the user-interface thread while the worker waits.

#include "base/prompter.h"

#include <memory>

class QWidget;

namespace korvel {

class FieldDialog;

class Session;

class GuiPrompter final : public Prompter {
public:
    // The prompter of session: its node picker shows the session's nodes.
    explicit GuiPrompter(Session& session) : session_(session) {}

    void Message(const QString& text, const QString& caption, MsgIcon icon) override;
    bool Confirm(const QString& text, const QString& caption) override;
    bool AskYesNo(const QString& text, const QString& caption) override;
    std::optional<QString> PickNode() override;
    std::optional<QString> PickFolder() override;
    std::optional<QStringList> PickFiles() override;
    bool EditDialog(const QString& dialog, DialogFields& fields) override;
    int FourAnswer(const QString& text, int preset) override;
    bool OpenWithDesktop(const QString& path) override;
    void RunLongOperation(LongOperation& op, const std::function<void()>& worker) override;

    // Parent of the dialogs (the main window); nullptr: the active window.
    void SetParentWindow(QWidget* w) { parent_ = w; }

private:
    QWidget* Parent() const;
    Session& session_;
    QWidget* parent_ = nullptr;
};

// The dialog class behind a dialog name of base/dialogs.h, asking for session (when
// given); nullptr for an unknown name.
std::unique_ptr<FieldDialog> MakeFieldDialog(const QString& dialog, QWidget* parent, Session* session = nullptr);

}  // namespace korvel
