#include "app/options.h"

#include "base/dialogs.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "session/session.h"
#include "store/pageset.h"

namespace korvel {

void PageSetCommand(Session& s) {
    DialogFields fields;
    fields[dlg::kText] = QString::number(s.pageset.PageSize());
    if (!s.prompter().EditDialog(dlg::kInput, fields)) return;
    s.pageset.SetPageSize(ClampPageSize(fields.value(dlg::kText).toString()));
}

void LanguageSetCommand(Session& s) {
    DialogFields fields;
    fields[dlg::kItems] = QStringList{QStringLiteral("AUTO"), QStringLiteral("GBK"), QStringLiteral("BIG5")};
    s.prompter().EditDialog(dlg::kCombo, fields);
    // Closed without OK: no choice, the code stays and is written back.
    ApplyLanguageChoice(s.options, fields.value(dlg::kChoice).toString());
}

}  // namespace korvel
