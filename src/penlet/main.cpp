// penlet [--dir DIR] FILE: catalogues a text file as a note record (tag "PENLET") in the
// catalogue of DIR (the current folder by default) and says what it did. The file
// manager's entry "添加笔记(KORVEL)" runs it with the working folder of the Korvel that
// wrote the entry.
#include "app/startup.h"
#include "base/fileguard.h"
#include "base/fsutil.h"
#include "commands/report.h"
#include "io/import.h"
#include "notes/notes.h"
#include "session/session.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

using namespace korvel;

namespace {

int Fail(const QString& text) {
    std::fprintf(stderr, "penlet: %s\n", text.toUtf8().constData());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args;
    for (int i = 1; i < argc; ++i) args << DecodePath(QByteArray(argv[i]));
    const QString startDir = QDir::currentPath();
    QString dir;
    if (args.size() >= 2 && args[0] == QLatin1String("--dir")) {
        dir = args[1];
        args = args.mid(2);
    }
    if (args.size() != 1 || args[0].isEmpty()) return Fail(QStringLiteral("usage: penlet [--dir DIR] FILE"));
    const QString path = QDir::cleanPath(QDir::isAbsolutePath(args[0]) ? args[0] : startDir + u'/' + args[0]);
    if (!dir.isEmpty() && !QDir::setCurrent(dir)) return Fail(QStringLiteral("cannot enter folder %1").arg(dir));
    const int kind = PathKind(path);
    if (kind == 0) return Fail(QStringLiteral("no such file: %1").arg(path));
    if (kind == 2) return Fail(QStringLiteral("a folder, not a file: %1").arg(path));
    // A note is a text file: a pipe, socket or device is refused before anything opens it.
    const QString unreadable = UnreadableFileMessage(path);
    if (!unreadable.isEmpty()) return Fail(unreadable);

    Session session;
    QString error;
    if (!StartCore(session, &error)) return Fail(error);
    const FileImport file = AddNoteRecord(session, path, {kNoteKeyword});
    ReportProblems(session.prompter(), file.problems);
    switch (file.step) {
        case FileStep::Added:
            std::printf("%s\n", QStringLiteral("已添加笔记记录(note record added) %1: %2")
                                    .arg(file.added.id, path)
                                    .toUtf8()
                                    .constData());
            break;
        case FileStep::AlreadyCatalogued:
            std::printf("%s\n", QStringLiteral("已在目录中(already catalogued): %1").arg(path).toUtf8().constData());
            break;
        case FileStep::Failed: return 1;  // the reason went to standard error
    }
    return 0;
}
