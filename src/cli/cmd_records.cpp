// korvel-cli add-record: one file or folder catalogued with the values of an import.
#include "cli/commands.h"

#include "session/session.h"

#include "base/fsutil.h"
#include "io/importcore.h"
#include "store/catalogue.h"

namespace korvel::cli {
namespace {

Outcome RunAddRecord(Session& s, const QStringList& input) {
    QStringList args = input;
    const QString tags = TakeOption(args, QStringLiteral("--tags"));
    if (args.size() != 1 || args[0].isEmpty())
        return Refuse(QStringLiteral("usage: add-record PATH [--tags \"t1 t2\"]"));
    // The absolute path without "." / ".." pieces or a trailing "/".
    const QString path = ArgumentPath(args[0]);
    const int kind = PathKind(path);
    if (kind == 0) return Refuse(QStringLiteral("%1 does not exist").arg(args[0]));
    // As an import writes it: one blank, the tags, then two blanks.
    NewRecord r = RecordOfPath(path, QStringLiteral(" ") + tags + QStringLiteral("  "),
                               kind == 2 ? kFolderRecordType : kFileRecordType, s.catalogue);
    if (r.name.isEmpty()) r.name = path;
    QString id;
    try {
        RecordWriter writer(s.catalogue);
        id = writer.Insert(r);
    } catch (const DbError& e) {
        Fail(e.description());
        return Outcome::Failure();
    }
    Out(id);
    return Outcome::Finished(1);
}

CliRegistrar reg({QStringLiteral("add-record"), QStringLiteral("add-record PATH [--tags \"t1 t2\"]"), true,
                  RunAddRecord});

}  // namespace
}  // namespace korvel::cli
