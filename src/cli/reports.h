#pragma once
// What a command of the command layer reports while korvel-cli runs it.

#include "base/prompter.h"

#include <QStringList>

namespace korvel {
class Session;
}

namespace korvel::cli {

// Installed as the session's prompter for its lifetime: the messages a command reports (a
// database error, a notice) are held back and printed as korvel-cli's error lines
// ("korvel-cli: text") by Flush, so that they follow the lines korvel-cli prints from the
// command's result, as its output has always been ordered. Every question is declined as
// the console prompter declines it; long operations run in place. Whatever was not
// flushed is printed when it goes.
class CliReports final : public Prompter {
public:
    explicit CliReports(Session& s);
    ~CliReports() override;
    CliReports(const CliReports&) = delete;
    CliReports& operator=(const CliReports&) = delete;

    // Prints the messages held back, in the order they were reported.
    void Flush();

    void Message(const QString& text, const QString& caption, MsgIcon icon) override;
    bool Confirm(const QString&, const QString&) override { return false; }
    bool AskYesNo(const QString&, const QString&) override { return false; }
    std::optional<QString> PickNode() override { return std::nullopt; }
    std::optional<QString> PickFolder(PickKind) override { return std::nullopt; }
    std::optional<QStringList> PickFiles(PickKind) override { return std::nullopt; }
    bool EditDialog(const QString&, DialogFields&) override { return false; }
    int FourAnswer(const QString&, int preset) override { return preset; }
    bool OpenWithDesktop(const QString&) override { return false; }
    void RunLongOperation(LongOperation&, const std::function<void()>& worker) override { worker(); }

private:
    Session& s_;
    Prompter& before_;
    QStringList held_;
};

}  // namespace korvel::cli
