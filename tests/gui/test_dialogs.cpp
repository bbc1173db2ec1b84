// The dialogs shown by name: their OK button accepts, their cancel button rejects, and
// the folder button of the import dialogs puts the picked folder into the root field.
#include "app/dialogs.h"
#include "gui/FieldDialog.h"
#include "gui/GuiPrompter.h"
#include "support/scripted_prompter.h"

#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

using namespace korvel;

namespace {

QPushButton* Button(QWidget* dialog, const QString& text) {
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

}  // namespace

TEST(FieldDialogs, OkAcceptsAndCancelRejects) {
    const QString ok = QStringLiteral("确定(OK)"), cancel = QStringLiteral("取消(CANCEL)");
    struct Case {
        QString dialog;
        bool hasOk, hasCancel;
    } cases[] = {
        {dlg::kAddNode, true, true},   {dlg::kModifyNode, true, true}, {dlg::kShowNode, false, true},
        {dlg::kKeyDialog, true, true}, {dlg::kAddTree, true, true},    {dlg::kNodeTree, true, true},
        {dlg::kInput, true, true},     {dlg::kCombo, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dialog.toStdString());
        std::unique_ptr<FieldDialog> d = MakeFieldDialog(c.dialog, nullptr);
        ASSERT_TRUE(d);
        QPushButton* okButton = Button(d.get(), ok);
        QPushButton* cancelButton = Button(d.get(), cancel);
        ASSERT_EQ(okButton != nullptr, c.hasOk);
        ASSERT_EQ(cancelButton != nullptr, c.hasCancel);
        // The first button of the row is the default one.
        EXPECT_TRUE((okButton ? okButton : cancelButton)->isDefault());
        if (okButton) {
            d->setResult(-1);
            okButton->click();
            EXPECT_EQ(d->result(), QDialog::Accepted);
        }
        if (cancelButton) {
            d->setResult(-1);
            cancelButton->click();
            EXPECT_EQ(d->result(), QDialog::Rejected);
        }
    }
}

TEST(FieldDialogs, FolderButtonFillsTheRoot) {
    for (const QString& name : {dlg::kAddTree, dlg::kNodeTree}) {
        SCOPED_TRACE(name.toStdString());
        ScriptedPrompter prompts;
        std::unique_ptr<FieldDialog> d = MakeFieldDialog(name, nullptr);
        ASSERT_TRUE(d);
        QPushButton* browse = Button(d.get(), QStringLiteral("..."));
        ASSERT_TRUE(browse);
        EXPECT_FALSE(browse->autoDefault());  // Enter in a field still means OK
        d->SetFields({{dlg::kRoot, QStringLiteral("/old")}});

        prompts.folders.push_back(QStringLiteral("/mnt/it's here"));
        browse->click();
        DialogFields fields;
        d->GetFields(fields);
        EXPECT_EQ(fields.value(dlg::kRoot).toString(), "/mnt/it's here");

        browse->click();  // the pick is cancelled: the root stays
        d->GetFields(fields);
        EXPECT_EQ(fields.value(dlg::kRoot).toString(), "/mnt/it's here");
        EXPECT_TRUE(prompts.folders.empty());
        EXPECT_NE(d->result(), QDialog::Accepted);
    }
}
