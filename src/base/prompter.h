#pragma once
// Every question a command asks the user goes through Prompter. The GUI implements it
// with real dialogs; tests implement it with scripted answers; korvel-cli prints messages
// to standard error and answers no question.

#include "base/longop.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <optional>

namespace korvel {

enum class MsgIcon { Information, Exclamation, Question };

// The product's name, the caption of notices.
inline const QString kProductName = QStringLiteral("Korvel");

// What a file or folder pick is for. Each kind starts where the last pick of that kind
// ended, so an export does not start in the folder of the last import.
enum class PickKind { Import, Export, Backup, Sync, Note };

// Fields of a dialog, named by the dialog's field keys (see the dialog's header).
using DialogFields = QVariantMap;

class Prompter {
public:
    virtual ~Prompter() = default;

    // A message box with one OK button.
    virtual void Message(const QString& text, const QString& caption, MsgIcon icon) = 0;

    // An OK/cancel question; true for OK.
    virtual bool Confirm(const QString& text, const QString& caption) = 0;

    // An OK/cancel question with the question icon (Confirm warns with the exclamation
    // icon); true for OK. By default it is Confirm.
    virtual bool ConfirmQuestion(const QString& text, const QString& caption) { return Confirm(text, caption); }

    // A yes/no question; true for yes.
    virtual bool AskYesNo(const QString& text, const QString& caption) = 0;

    // The node picker (TreeControlDlg). nullopt when cancelled; an empty text when OK was
    // pressed with no node selected; otherwise the picked node id.
    virtual std::optional<QString> PickNode() = 0;

    // The folder picker titled "Select folder". nullopt when cancelled.
    virtual std::optional<QString> PickFolder(PickKind kind) = 0;

    // The multi-selection file-open dialog. nullopt when cancelled.
    virtual std::optional<QStringList> PickFiles(PickKind kind) = 0;

    // The file-open dialog of PickFiles listing catalogue files ("kv.kdb", "*.kdb") rather
    // than every file. By default it is PickFiles.
    virtual std::optional<QStringList> PickCatalogueFiles() { return PickFiles(PickKind::Sync); }

    // A modal dialog with fields, named by its class ("addkey2", "keydialog2", ...).
    // The caller presets the fields; on OK the dialog writes them back and returns true.
    virtual bool EditDialog(const QString& dialog, DialogFields& fields) = 0;

    // The four-answer prompt (s4dialog): 1 yes, 2 yes to all, 3 no, 4 no to all. Closing
    // it any other way returns the preset answer.
    virtual int FourAnswer(const QString& text, int preset) = 0;

    // Hands a file or folder to the desktop to open with its usual program (the "open"
    // verb). false when it could not be handed over.
    virtual bool OpenWithDesktop(const QString& path) = 0;

    // Runs a long operation: the worker runs on its own thread while the progress dialog
    // (CShowInfoDlg) shows the status texts posted to op and its stop button stops op;
    // returns when the dialog has closed and the worker has ended.
    virtual void RunLongOperation(LongOperation& op, const std::function<void()>& worker) = 0;

    // A job that goes on in the background: it looks at `stop` between its steps and
    // tells its progress through `status`.
    using BackgroundJob =
        std::function<void(const std::atomic<bool>& stop, const std::function<void(const QString&)>& status)>;
    // Starts a background job. The window runs it on its own thread and returns at once,
    // showing its status texts in the status bar beside a stop button. Here (without a
    // window) it runs to its end before the call returns.
    virtual void RunInBackground(const BackgroundJob& job) {
        const std::atomic<bool> never{false};
        job(never, [](const QString&) {});
    }

    // The summary of a long operation that has ended (what was exported, indexed). A
    // message by default; the window, whose progress dialog showed it already, puts it in
    // the status bar instead of asking for one more click.
    virtual void ShowSummary(const QString& text) { Message(text, kProductName, MsgIcon::Information); }
};

// A prompter with nobody to ask: every question is declined (a four-answer prompt keeps
// its preset), the desktop is not asked, long operations run on the calling thread. The
// prompters of programs without a window derive from it and say where messages go.
class DecliningPrompter : public Prompter {
public:
    bool Confirm(const QString&, const QString&) override { return false; }
    bool AskYesNo(const QString&, const QString&) override { return false; }
    std::optional<QString> PickNode() override { return std::nullopt; }
    std::optional<QString> PickFolder(PickKind) override { return std::nullopt; }
    std::optional<QStringList> PickFiles(PickKind) override { return std::nullopt; }
    bool EditDialog(const QString&, DialogFields&) override { return false; }
    int FourAnswer(const QString&, int preset) override { return preset; }
    bool OpenWithDesktop(const QString&) override { return false; }
    void RunLongOperation(LongOperation&, const std::function<void()>& worker) override { worker(); }
};

// The prompter of korvel-cli, and of a session that has no other: messages go to standard
// error, every question is declined, the desktop is asked through xdg-open.
class ConsolePrompter final : public DecliningPrompter {
public:
    void Message(const QString& text, const QString& caption, MsgIcon icon) override;
    bool OpenWithDesktop(const QString& path) override;
};

// A notice: caption the product's name, exclamation icon.
void Notice(Prompter& prompter, const QString& text);

}  // namespace korvel
