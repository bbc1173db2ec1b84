// korvel-cli: the catalogue from the command line, over the same core as the window.
#include "cli/commands.h"

#include "app/startup.h"
#include "store/catalogue.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <map>

namespace korvel::cli {

namespace {
std::map<QString, CliCommand>& Registry() {
    static std::map<QString, CliCommand> r;
    return r;
}

int Usage() {
    std::fprintf(stderr, "usage: korvel-cli [--dir DIR] COMMAND [ARGS]\ncommands:\n");
    for (const auto& [name, c] : Registry())
        std::fprintf(stderr, "  %s\n", c.usage.toUtf8().constData());
    return 1;
}
}  // namespace

void RegisterCommand(CliCommand command) { Registry()[command.name] = std::move(command); }

int Fail(const QString& text) {
    std::fprintf(stderr, "korvel-cli: %s\n", text.toUtf8().constData());
    return 1;
}

void Out(const QString& line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

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
    QStringList args = app.arguments().mid(1);
    if (args.size() >= 2 && args[0] == QLatin1String("--dir")) {
        if (!QDir::setCurrent(args[1])) return Fail(QStringLiteral("cannot enter folder %1").arg(args[1]));
        args = args.mid(2);
    }
    if (args.isEmpty() || args[0] == QLatin1String("help")) return Usage();
    auto it = Registry().find(args[0]);
    if (it == Registry().end()) {
        Fail(QStringLiteral("unknown command %1").arg(args[0]));
        return Usage();
    }
    const CliCommand& c = it->second;
    if (c.needsCatalogue) {
        QString error;
        if (!StartCore(&error)) return Fail(error);
    }
    return c.run(args.mid(1));
}
