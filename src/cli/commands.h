#pragma once
// korvel-cli sub-commands. Each cmd_*.cpp registers its commands with a static
// CliRegistrar; main.cpp dispatches on the first argument.

#include "base/prompter.h"
#include "session/outcome.h"

#include <QStringList>

#include <functional>

namespace korvel {
class Session;
}

namespace korvel::cli {

struct CliCommand {
    QString name;
    QString usage;        // one line, shown by "korvel-cli help"
    bool needsCatalogue;  // open kv.kdb before running
    // Runs the command (most through a command of the command layer); the exit status is
    // ExitStatus of its outcome, whatever messages were shown on the way.
    std::function<Outcome(Session& s, const QStringList& args)> command;
};

void RegisterCommand(CliCommand command);

struct CliRegistrar {
    explicit CliRegistrar(CliCommand command) { RegisterCommand(std::move(command)); }
};

// Prints "korvel-cli: text" to standard error and returns 1.
int Fail(const QString& text);
// Prints "korvel-cli: text" to standard error: the command refused its arguments.
Outcome Refuse(const QString& text);
// Prints "korvel-cli: text" to standard error: an error ended the command.
Outcome Failed(const QString& text);

// The exit status of a command's outcome: 0 when it was done, 1 when it was partly done,
// refused or failed.
inline int ExitStatus(const Outcome& outcome) { return outcome.kind == Outcome::Kind::Done ? 0 : 1; }
// Prints a line to standard output (UTF-8).
void Out(const QString& line);

// A path given on the command line: absolute and clean, a relative one taken from the
// folder korvel-cli was started in (not the --dir folder).
QString ArgumentPath(const QString& arg);

// Reloads the node map; true when it has a node with this id.
bool KnownNode(Session& s, const QString& id);
// The error for a node id that names no node.
int FailNoNode(const QString& id);
Outcome RefuseNoNode(const QString& id);

// A catalogue text as one field of a tab-separated output line: backslash becomes \\,
// tab \t, newline \n and carriage return \r, so that fields and lines can be told apart
// whatever a name or description holds. Every command that prints catalogue texts in
// fields uses it.
QString EscapeField(const QString& text);
// The fields escaped with EscapeField, joined by tabs.
QString JoinFields(const QStringList& fields);

// The session's prompter with korvel-cli's own answers, installed in the session for its
// life: every four-answer prompt gets `answer` (1..4; 0 keeps the preset, as closing the
// prompt does) and is printed as "Dialog: TEXT -> ANSWER" to standard error; with an
// `errorPrefix`, a message with the exclamation icon is printed as "korvel-cli: " followed
// by the prefix and its text. Everything else goes to the prompter it replaces.
class CliPrompter final : public Prompter {
public:
    CliPrompter(Session& s, int answer, const QString& errorPrefix = QString());
    ~CliPrompter() override;
    CliPrompter(const CliPrompter&) = delete;
    CliPrompter& operator=(const CliPrompter&) = delete;
    void Message(const QString& text, const QString& caption, MsgIcon icon) override;
    bool Confirm(const QString& t, const QString& c) override { return base_.Confirm(t, c); }
    bool AskYesNo(const QString& t, const QString& c) override { return base_.AskYesNo(t, c); }
    std::optional<QString> PickNode() override { return base_.PickNode(); }
    std::optional<QString> PickFolder(PickKind kind) override { return base_.PickFolder(kind); }
    std::optional<QStringList> PickFiles(PickKind kind) override { return base_.PickFiles(kind); }
    bool EditDialog(const QString& d, DialogFields& f) override { return base_.EditDialog(d, f); }
    int FourAnswer(const QString& text, int preset) override;
    bool OpenWithDesktop(const QString& path) override { return base_.OpenWithDesktop(path); }
    void RunLongOperation(LongOperation& op, const std::function<void()>& worker) override {
        base_.RunLongOperation(op, worker);
    }

private:
    Session& session_;
    Prompter& base_;
    int answer_;
    QString errorPrefix_;
};

// Value of "--name VALUE" in args (removed from args), or def when absent.
QString TakeOption(QStringList& args, const QString& name, const QString& def = QString());
// True when "--name" is in args (removed).
bool TakeFlag(QStringList& args, const QString& name);

}  // namespace korvel::cli
