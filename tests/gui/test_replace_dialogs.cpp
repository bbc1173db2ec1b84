// The two dialogs of the batch path changes: fields in and out, ADD and DEL of the
// source roots with the list kept sorted, and the folder buttons.
#include "base/dialogs.h"
#include "gui/CListReplaceDlg.h"
#include "gui/CReplaceDlg.h"
#include "gui/GuiPrompter.h"
#include "support/scripted_prompter.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace korvel;

TEST(ReplaceDialogs, ReplaceDlgFields) {
    std::unique_ptr<FieldDialog> d = MakeFieldDialog(dlg::kReplace, nullptr, &S());
    ASSERT_TRUE(dynamic_cast<CReplaceDlg*>(d.get()));
    d->SetFields({{dlg::kFind, "/Old"}, {dlg::kReplacement, "/new'"}});
    auto* r = static_cast<CReplaceDlg*>(d.get());
    EXPECT_EQ(r->findEdit()->text(), "/Old");
    r->replacementEdit()->setText("/n'x");
    DialogFields out;
    d->GetFields(out);
    EXPECT_EQ(out.value(dlg::kFind).toString(), "/Old");
    EXPECT_EQ(out.value(dlg::kReplacement).toString(), "/n'x");
}

TEST(ReplaceDialogs, ListReplaceAddDelKeepsTheListSorted) {
    ScriptedPrompter prompts;
    std::unique_ptr<FieldDialog> d = MakeFieldDialog(dlg::kListReplace, nullptr, &S());
    auto* l = dynamic_cast<CListReplaceDlg*>(d.get());
    ASSERT_TRUE(l);
    d->SetFields({{dlg::kItems, QStringList{"/z", "/b"}}, {dlg::kTarget, ""}, {dlg::kAsBackup, false}});
    DialogFields out;
    d->GetFields(out);
    EXPECT_EQ(out.value(dlg::kItems).toStringList(), QStringList({"/z", "/b"}));  // collected order

    l->addButton()->click();  // nothing to add
    l->sourceEdit()->setText("/m");
    l->addButton()->click();
    d->GetFields(out);
    EXPECT_EQ(out.value(dlg::kItems).toStringList(), QStringList({"/b", "/m", "/z"}));
    l->delButton()->click();  // no selection: nothing removed
    l->rootList()->setCurrentRow(0);
    l->delButton()->click();
    prompts.folders.push_back(QStringLiteral("/picked/target"));
    // The second "..." button fills the target root.
    QList<QPushButton*> browse;
    for (QPushButton* b : d->findChildren<QPushButton*>())
        if (b->text() == "...") browse << b;
    ASSERT_EQ(browse.size(), 2);
    browse[1]->click();
    l->backupBox()->setChecked(true);
    d->GetFields(out);
    EXPECT_EQ(out.value(dlg::kItems).toStringList(), QStringList({"/m", "/z"}));
    EXPECT_EQ(out.value(dlg::kTarget).toString(), "/picked/target");
    EXPECT_TRUE(out.value(dlg::kAsBackup).toBool());
}
