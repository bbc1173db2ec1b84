#include "cli/reports.h"

#include "cli/commands.h"
#include "session/session.h"

namespace korvel::cli {

CliReports::CliReports(Session& s) : s_(s), before_(s.prompter()) { s_.SetPrompter(this); }

CliReports::~CliReports() {
    s_.SetPrompter(&before_);
    Flush();
}

void CliReports::Message(const QString& text, const QString&, MsgIcon) { held_ << text; }

void CliReports::Flush() {
    for (const QString& text : held_) Fail(text);
    held_.clear();
}

}  // namespace korvel::cli
