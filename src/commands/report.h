#pragma once
// How the commands and the front ends show a database error.

#include <QString>
#include <QStringList>

namespace korvel {

class DbError;
class Prompter;

// Shows a database error through the prompt interface: its description, caption "info"
// unless given, exclamation icon. Only the commands and the front ends show errors: the
// layers below them throw, and the command that ran them reports.
void ReportDbError(Prompter& prompter, const DbError& e, const QString& caption = QStringLiteral("info"));
// Shows each of texts in order, in a message of its own captioned "info" with the
// exclamation icon: the problems a step below the commands met and returned.
void ReportProblems(Prompter& prompter, const QStringList& texts);

}  // namespace korvel
