// korvel-cli init: a new empty catalogue and a default filter file in the working folder.
#include "cli/commands.h"

#include "session/session.h"

#include "app/startup.h"

namespace korvel::cli {
namespace {

Outcome RunInit(Session&, const QStringList&) {
    QString error;
    InitResult r = InitWorkingDirectory(&error);
    if (r == InitResult::Failed) return Failed(error);
    switch (r) {
        case InitResult::Created: Out(QStringLiteral("created kv.kdb")); break;
        case InitResult::FilledEmpty:
            Out(QStringLiteral("kv.kdb was an empty file; made it into a new catalogue"));
            break;
        default: Out(QStringLiteral("kv.kdb already exists; left unchanged")); break;
    }
    return Outcome::Finished(r == InitResult::Created || r == InitResult::FilledEmpty ? 1 : 0);
}

CliRegistrar reg({QStringLiteral("init"), QStringLiteral("init"), false, RunInit});

}  // namespace
}  // namespace korvel::cli
