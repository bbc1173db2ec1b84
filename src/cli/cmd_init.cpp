// korvel-cli init: a new empty catalogue and a default filter file in the working folder.
#include "cli/commands.h"

#include "app/startup.h"

namespace korvel::cli {
namespace {

int RunInit(const QStringList&) {
    QString error;
    InitResult r = InitWorkingDirectory(&error);
    if (r == InitResult::Failed) return Fail(error);
    Out(r == InitResult::Created ? QStringLiteral("created kv.kdb")
                                 : QStringLiteral("kv.kdb already exists; left unchanged"));
    return 0;
}

CliRegistrar reg({QStringLiteral("init"), QStringLiteral("init"), false, RunInit});

}  // namespace
}  // namespace korvel::cli
