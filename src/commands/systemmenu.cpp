#include "commands/systemmenu.h"

#include "app/startup.h"
#include "base/dialogs.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "notes/penletentry.h"
#include "session/session.h"
#include "store/pageset.h"

#include <QFileInfo>

namespace korvel {

Outcome StartWithPrompts(Session& s) {
    Prompter& prompter = s.prompter();
    if (!QFileInfo::exists(kCatalogueFile)) {
        const QString question = QStringLiteral(
                                     "当前文件夹中没有目录文件 %1。要在此创建一个新的空目录吗？\n"
                                     "(NO CATALOGUE HERE. CREATE A NEW EMPTY ONE?)\n%2")
                                     .arg(kCatalogueFile, QFileInfo(QStringLiteral(".")).absoluteFilePath());
        if (prompter.AskYesNo(question, kProductName)) {
            QString error;
            if (InitWorkingDirectory(&error) == InitResult::Failed) {
                prompter.Message(error, QStringLiteral("警告"), MsgIcon::Exclamation);
                return Outcome::Failure();
            }
        }
    }
    QString error;
    if (!StartCore(s, &error)) {
        prompter.Message(error, QStringLiteral("警告"), MsgIcon::Exclamation);
        return Outcome::Failure();
    }
    return Outcome::Finished(0);
}

Outcome OptionFlagCommand(Session& s, const QString& key, std::optional<bool> on) {
    if (!IsFlagKey(key)) return Outcome::Refusal();
    // The notes flag stands for the file manager's entry: it changes with the entry.
    if (key == QLatin1String("g_penletreg_flag")) return PenletOptionCommand(s, on);
    if (!on || FlagValue(s.options, key) != *on) ToggleFlag(s.options, key);
    return Outcome::Finished(1);
}

Outcome PenletOptionCommand(Session& s, std::optional<bool> on) {
    QString error;
    if (!SetPenletEntry(s.options, on.value_or(!s.options.penletreg), &error)) {
        s.prompter().Message(error, QStringLiteral("警告"), MsgIcon::Exclamation);
        return Outcome::Failure();
    }
    return Outcome::Finished(1);
}

Outcome PageSetCommand(Session& s, const std::optional<QString>& size) {
    QString text;
    if (size) {
        text = *size;
    } else {
        DialogFields fields;
        fields[dlg::kText] = QString::number(s.pageset.PageSize());
        if (!s.prompter().EditDialog(dlg::kInput, fields)) return Outcome::Refusal();
        text = fields.value(dlg::kText).toString();
    }
    s.pageset.SetPageSize(ClampPageSize(text));
    return Outcome::Finished(1);
}

Outcome LanguageSetCommand(Session& s, const std::optional<QString>& choice) {
    QString chosen;
    if (choice) {
        chosen = *choice;
    } else {
        DialogFields fields;
        fields[dlg::kItems] = QStringList{QStringLiteral("AUTO"), QStringLiteral("GBK"), QStringLiteral("BIG5")};
        s.prompter().EditDialog(dlg::kCombo, fields);
        // Closed without OK: no choice, the code stays and is written back.
        chosen = fields.value(dlg::kChoice).toString();
    }
    ApplyLanguageChoice(s.options, chosen);
    return Outcome::Finished(1);
}

}  // namespace korvel
