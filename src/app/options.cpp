#include "app/options.h"

#include "base/dialogs.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "store/pageset.h"

namespace korvel {

void PageSetCommand() {
    DialogFields fields;
    fields[dlg::kText] = QString::number(g_pageset.PageSize());
    if (!prompter().EditDialog(dlg::kInput, fields)) return;
    g_pageset.SetPageSize(ClampPageSize(fields.value(dlg::kText).toString()));
}

void LanguageSetCommand() {
    DialogFields fields;
    fields[dlg::kItems] = QStringList{QStringLiteral("AUTO"), QStringLiteral("GBK"),
                                      QStringLiteral("BIG5")};
    prompter().EditDialog(dlg::kCombo, fields);
    // Closed without OK: no choice, the code stays and is written back.
    ApplyLanguageChoice(fields.value(dlg::kChoice).toString());
}

}  // namespace korvel
