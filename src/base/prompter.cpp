#include "base/prompter.h"

#include "base/longop.h"

#include <QProcess>

#include <atomic>
#include <cstdio>

namespace korvel {

namespace {

// Used by korvel-cli and whenever nothing else is installed: messages go to standard
// error, every question is declined, long operations run on the calling thread.
class ConsolePrompter final : public Prompter {
public:
    void Message(const QString& text, const QString& caption, MsgIcon icon) override {
        if (icon == MsgIcon::Exclamation) ++errors;
        std::fprintf(stderr, "%s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
    }
    bool Confirm(const QString&, const QString&) override { return false; }
    bool AskYesNo(const QString&, const QString&) override { return false; }
    std::optional<QString> PickNode() override { return std::nullopt; }
    std::optional<QString> PickFolder(PickKind) override { return std::nullopt; }
    std::optional<QStringList> PickFiles(PickKind) override { return std::nullopt; }
    bool EditDialog(const QString&, DialogFields&) override { return false; }
    int FourAnswer(const QString&, int preset) override { return preset; }
    bool OpenWithDesktop(const QString& path) override {
        // Detached, so that the program opened outlives korvel-cli.
        return QProcess::startDetached(QStringLiteral("xdg-open"), {path});
    }
    void RunLongOperation(const std::function<void()>& worker) override { worker(); }
    std::atomic<int> errors{0};
};

ConsolePrompter g_console_prompter;
Prompter* g_prompter = nullptr;

}  // namespace

int ConsoleErrorCount() { return g_console_prompter.errors; }

Prompter& prompter() { return g_prompter ? *g_prompter : g_console_prompter; }

void SetPrompter(Prompter* p) { g_prompter = p; }

void Notice(const QString& text) { prompter().Message(text, kProductName, MsgIcon::Exclamation); }

}  // namespace korvel
