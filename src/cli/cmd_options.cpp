// korvel-cli options, set-option and set-language: the SYSTEM menu's flags and language
// over the same commands as the window.
#include "cli/commands.h"

#include "base/settings.h"
#include "commands/systemmenu.h"
#include "session/session.h"

namespace korvel::cli {
namespace {

const QString kOptionsUsage = QStringLiteral(
    "options\n"
    "      every option flag of config.cnf as KEY TAB 0|1, then language TAB its code");
const QString kSetOptionUsage = QStringLiteral(
    "set-option KEY on|off\n"
    "      switches an option flag (g_penletreg_flag also writes or removes the file manager's entry)");
const QString kSetLanguageUsage = QStringLiteral("set-language AUTO|GBK|BIG5");

Outcome RunOptions(Session& s, const QStringList& args) {
    if (!args.isEmpty()) return Refuse(QStringLiteral("usage: ") + kOptionsUsage);
    ReadSettings(s.options);
    for (const QString& key : FlagKeys())
        Out(JoinFields({key, FlagValue(s.options, key) ? QStringLiteral("1") : QStringLiteral("0")}));
    Out(JoinFields({QStringLiteral("language"), QString::number(s.options.language)}));
    return Outcome::Finished(0);
}

Outcome RunSetOption(Session& s, const QStringList& args) {
    if (args.size() != 2 || (args[1] != QLatin1String("on") && args[1] != QLatin1String("off")))
        return Refuse(QStringLiteral("usage: ") + kSetOptionUsage);
    if (!IsFlagKey(args[0]))
        return Refuse(QStringLiteral("unknown option %1; options: %2").arg(args[0], FlagKeys().join(u' ')));
    ReadSettings(s.options);
    return OptionFlagCommand(s, args[0], args[1] == QLatin1String("on"));
}

Outcome RunSetLanguage(Session& s, const QStringList& args) {
    if (args.size() != 1 || !QStringList({"AUTO", "GBK", "BIG5"}).contains(args[0]))
        return Refuse(QStringLiteral("usage: ") + kSetLanguageUsage);
    ReadSettings(s.options);
    return LanguageSetCommand(s, args[0]);
}

CliRegistrar regOptions({QStringLiteral("options"), kOptionsUsage, false, RunOptions});
CliRegistrar regSetOption({QStringLiteral("set-option"), kSetOptionUsage, false, RunSetOption});
CliRegistrar regSetLanguage({QStringLiteral("set-language"), kSetLanguageUsage, false, RunSetLanguage});

}  // namespace
}  // namespace korvel::cli
