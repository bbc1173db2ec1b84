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
class CliReports final : public DecliningPrompter {
public:
    explicit CliReports(Session& s);
    ~CliReports() override;
    CliReports(const CliReports&) = delete;
    CliReports& operator=(const CliReports&) = delete;

    // Prints the messages held back, in the order they were reported.
    void Flush();

    void Message(const QString& text, const QString& caption, MsgIcon icon) override;

private:
    Session& s_;
    Prompter& before_;
    QStringList held_;
};

}  // namespace korvel::cli
