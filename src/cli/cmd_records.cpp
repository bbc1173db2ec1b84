// korvel-cli add-record: one file or folder catalogued with the values of an import.
#include "cli/commands.h"

#include "app/fsutil.h"
#include "platform/volumes.h"
#include "store/catalogue.h"
#include "tree/tags.h"


namespace korvel::cli {
namespace {

int RunAddRecord(const QStringList& input) {
    QStringList args = input;
    const QString tags = TakeOption(args, QStringLiteral("--tags"));
    if (args.size() != 1 || args[0].isEmpty()) return Fail(QStringLiteral("usage: add-record PATH [--tags \"t1 t2\"]"));
    // The absolute path without "." / ".." pieces or a trailing "/".
    const QString path = ArgumentPath(args[0]);
    const int kind = PathKind(path);
    if (kind == 0) return Fail(QStringLiteral("%1 does not exist").arg(args[0]));
    const QStringList pieces = SplitText(path, QStringLiteral("/"), true, QString());
    const QString name = pieces.isEmpty() ? path : pieces.last();
    // As an import writes it: one blank, the tags, then two blanks.
    const QString findkey = QStringLiteral(" ") + tags + QStringLiteral("  ");
    const QString type = kind == 2 ? QStringLiteral("文件夹") : QStringLiteral("文件");
    const FileStatusTexts status = StatusTexts(path);
    const QString vol = RememberDiskOfPath(path);
    const QString id = NextRecordId();
    if (id.isEmpty()) return Fail(QStringLiteral("no record id could be taken"));
    try {
        ExecuteSql(QStringLiteral("insert into main(dir,findkey, name, filetype, filesize, filedtime, "
                                  "fileinputdtime, vol, id) values('") +
                       SqlText(path) + QStringLiteral("','") + SqlText(findkey) + QStringLiteral("','") +
                       SqlText(name) + QStringLiteral("','") + type + QStringLiteral("','") +
                       SqlText(status.sizeText) + QStringLiteral("','") + SqlText(status.timeText) +
                       QStringLiteral("',format(now(),'yyyy-mm-dd H:M:S'),'") + SqlText(vol) +
                       QStringLiteral("',") + id + QStringLiteral(")"),
                   adCmdTextNoRecords);
    } catch (const DbError& e) {
        return Fail(e.description());
    }
    Out(id);
    return 0;
}

CliRegistrar reg({QStringLiteral("add-record"), QStringLiteral("add-record PATH [--tags \"t1 t2\"]"), true,
                  RunAddRecord});

}  // namespace
}  // namespace korvel::cli
