// korvel-cli: the catalogue from the command line, over the same core as the window.
#include "cli/commands.h"

#include "base/fsutil.h"
#include "base/workfolder.h"
#include "app/startup.h"
#include "base/prompter.h"
#include "commands/nodemenu.h"
#include "store/catalogue.h"
#include "session/session.h"
#include "tree/nodes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <map>

namespace korvel::cli {

namespace {
// The folder korvel-cli was started in; relative path arguments are taken from it.
QString g_start_dir;

std::map<QString, CliCommand>& Registry() {
    static std::map<QString, CliCommand> r;
    return r;
}

// Prints the usage; to standard output when asked for ("help"), else to standard error.
int Usage(FILE* out, int status) {
    std::fprintf(out, "usage: korvel-cli [--dir DIR] COMMAND [ARGS]\ncommands:\n");
    for (const auto& [name, c] : Registry()) std::fprintf(out, "  %s\n", c.usage.toUtf8().constData());
    return status;
}
}  // namespace

void RegisterCommand(CliCommand command) { Registry()[command.name] = std::move(command); }

int Fail(const QString& text) {
    std::fprintf(stderr, "korvel-cli: %s\n", text.toUtf8().constData());
    return 1;
}

Outcome Refuse(const QString& text) {
    Fail(text);
    return Outcome::Refusal();
}

Outcome Failed(const QString& text) {
    Fail(text);
    return Outcome::Failure();
}

void Out(const QString& line) {
    // As file names are written: a name that is not UTF-8 comes out as its own bytes.
    std::fputs(EncodePath(line).constData(), stdout);
    std::fputc('\n', stdout);
}

QString ArgumentPath(const QString& arg) {
    const QString base = g_start_dir.isEmpty() ? QDir::currentPath() : g_start_dir;
    return QDir::cleanPath(QDir::isAbsolutePath(arg) ? arg : base + u'/' + arg);
}

bool KnownNode(Session& s, const QString& id) {
    RefreshNodeCommand(s);
    return s.nodes.map.count(id) > 0;
}

int FailNoNode(const QString& id) { return Fail(QStringLiteral("no node with id %1").arg(id)); }

Outcome RefuseNoNode(const QString& id) { return Refuse(QStringLiteral("no node with id %1").arg(id)); }

QString TakeOption(QStringList& args, const QString& name, const QString& def) {
    int i = args.indexOf(name);
    if (i < 0 || i + 1 >= args.size()) return def;
    QString v = args[i + 1];
    args.remove(i, 2);
    return v;
}

bool TakeFlag(QStringList& args, const QString& name) {
    int i = args.indexOf(name);
    if (i < 0) return false;
    args.removeAt(i);
    return true;
}

}  // namespace korvel::cli

int main(int argc, char** argv) {
    using namespace korvel;
    using namespace korvel::cli;
    QCoreApplication app(argc, argv);
    // Arguments are decoded like file names, so a path that is not valid UTF-8 survives.
    QStringList args;
    for (int i = 1; i < argc; ++i) args << DecodePath(QByteArray(argv[i]));
    g_start_dir = CurrentFolderPath();
    if (args.size() >= 2 && args[0] == QLatin1String("--dir")) {
        const QString dir = ArgumentPath(args[1]);
        // init makes a missing folder, as the window does for a new catalogue; any other
        // command refuses it, so that a mistyped folder never starts a new one.
        const bool init = args.size() >= 3 && args[2] == QLatin1String("init");
        if (init && !QFileInfo::exists(dir) && !QDir().mkpath(dir))
            return Fail(QStringLiteral("cannot create folder %1").arg(args[1]));
        if (::chdir(EncodePath(dir).constData()) != 0)
            return Fail(QStringLiteral("cannot enter folder %1 (%2)")
                            .arg(args[1], QString::fromLocal8Bit(std::strerror(errno))));
        args = args.mid(2);
    }
    if (args.isEmpty()) return Usage(stderr, 1);
    if (args[0] == QLatin1String("help")) return Usage(stdout, 0);
    auto it = Registry().find(args[0]);
    if (it == Registry().end()) {
        Fail(QStringLiteral("unknown command %1").arg(args[0]));
        return Usage(stderr, 1);
    }
    const CliCommand& c = it->second;
    Session session;
    if (c.needsCatalogue) {
        QString error;
        if (!StartCore(session, &error)) return Fail(error);
    }
    return ExitStatus(c.command(session, args.mid(1)));
}
