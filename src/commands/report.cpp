#include "commands/report.h"

#include "base/prompter.h"
#include "store/catalogue.h"

namespace korvel {

void ReportDbError(Prompter& prompter, const DbError& e, const QString& caption) {
    prompter.Message(e.description(), caption, MsgIcon::Exclamation);
}

void ReportProblems(Prompter& prompter, const QStringList& texts) {
    for (const QString& text : texts) prompter.Message(text, QStringLiteral("info"), MsgIcon::Exclamation);
}

}  // namespace korvel
