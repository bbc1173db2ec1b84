// The dialogs shown by name: their OK button accepts, their cancel button rejects, and
// the folder button of the import dialogs puts the picked folder into the root field.
#include "base/dialogs.h"
#include "support/state.h"
#include "gui/FieldDialog.h"
#include "gui/GuiPrompter.h"
#include "gui/CShowInfoDlg.h"
#include "gui/QtTranslations.h"
#include "gui/TreeControlDlg.h"
#include "support/catalogue.h"
#include "support/scripted_prompter.h"
#include "tree/nodes.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QTranslator>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTreeWidget>

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
        // clang-format off
    } cases[] = {
        {dlg::kAddNode, true, true},   {dlg::kModifyNode, true, true}, {dlg::kShowNode, false, true},
        {dlg::kKeyDialog, true, true}, {dlg::kAddTree, true, true},    {dlg::kNodeTree, true, true},
        {dlg::kInput, true, true},     {dlg::kCombo, true, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dialog.toStdString());
        std::unique_ptr<FieldDialog> d = MakeFieldDialog(c.dialog, nullptr, &S());
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
        std::unique_ptr<FieldDialog> d = MakeFieldDialog(name, nullptr, &S());
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

TEST(FieldDialogs, TitlesLabelsAndBoxes) {
    struct Case {
        QString dialog;
        QString title;
        QStringList labels;  // the field labels, top to bottom
        QStringList boxes;   // the check boxes
        // clang-format off
    } cases[] = {
        {dlg::kAddNode, "添加搜索文件夹(ADD NODE)", {"文件夹名称\n(NODE NAME)", "本节点关键字\n(NODE TAG)"},
         {"关键字与文件夹名称相同(TAG SAME AS NAME)"}},
        {dlg::kModifyNode, "修改搜索文件夹(EDIT NODE)", {"文件夹名称\n(NODE NAME)", "搜索关键字\n(TAG)"}, {}},
        {dlg::kShowNode, "查看搜索文件夹属性(NODE)",
         {"搜索文件夹名称\n(NODE NAME)", "搜索关键字\n(THIS NODE TAG)", "所有搜索关键字\n(ALL TAG)"}, {}},
        {dlg::kKeyDialog, "添加搜索关键字(ADD TAG)", {"搜索关键字\n(TAG)"}, {"默认添加节点树中的关键字(INHERIT)"}},
        {dlg::kAddTree, "按路径导入数据", {"导入根路径\n(root path)", "添加搜索关键字\n(tag)", "导入深度\n(depth)"},
         {"导入时生成节点树(create node tree)", "导入结尾的文件夹(import last dir)"}},
        {dlg::kNodeTree, "添加节点树(ADD NODE TREE)", {"根目录\nROOT DIR", "深度\nDEPTH"}, {}},
        {dlg::kReplace, "批量替换记录路径(BATCH REPLACE PATH)", {"查找内容(FIND)", "替换为(REPLACE TO)"}, {}},
        {dlg::kListReplace, "批量替换记录根路径(BATCH REPLACE ROOT PATH)",
         {"源根路径(SOURCE ROOT)", "替换目标根路径(Target ROOT)"}, {"选中作为副本添加(AS BACKUP)"}},
        {dlg::kInput, kProductName, {"输入框(input box)"}, {}},
        {dlg::kCombo, kProductName, {}, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dialog.toStdString());
        std::unique_ptr<FieldDialog> d = MakeFieldDialog(c.dialog, nullptr, &S());
        ASSERT_TRUE(d);
        EXPECT_EQ(d->windowTitle(), c.title);
        QStringList labels, boxes;
        for (QLabel* l : d->findChildren<QLabel*>()) labels << l->text();
        for (QCheckBox* b : d->findChildren<QCheckBox*>()) boxes << b->text();
        EXPECT_EQ(labels, c.labels);
        EXPECT_EQ(boxes, c.boxes);
    }
}

// Every dialog says what it is in its title, and every text field has a label naming it.
TEST(FieldDialogs, EveryDialogIsTitledAndEveryFieldLabelled) {
    for (const QString& name :
         {dlg::kAddNode,     dlg::kModifyNode,  dlg::kShowNode,      dlg::kKeyDialog,      dlg::kAddTree,
          dlg::kNodeTree,    dlg::kInput,       dlg::kCombo,         dlg::kEditRecord,     dlg::kOpenBack,
          dlg::kBatchBackup, dlg::kCreateNote,  dlg::kRecordKeys,    dlg::kBatchKeys,      dlg::kShowGroups,
          dlg::kReplace,     dlg::kListReplace, dlg::kContentSearch, dlg::kAdvancedSearch, dlg::kDatePick}) {
        SCOPED_TRACE(name.toStdString());
        std::unique_ptr<FieldDialog> d = MakeFieldDialog(name, nullptr, &S());
        ASSERT_TRUE(d);
        EXPECT_FALSE(d->windowTitle().isEmpty());
        EXPECT_NE(d->windowTitle(), QStringLiteral("Dialog"));
        QSet<QWidget*> labelled;
        for (QLabel* l : d->findChildren<QLabel*>())
            if (l->buddy()) labelled.insert(l->buddy());
        for (QLineEdit* e : d->findChildren<QLineEdit*>()) {
            // The line edit inside an editable combo box is labelled through its box.
            QWidget* field = qobject_cast<QComboBox*>(e->parentWidget()) ? e->parentWidget() : e;
            if (field->isHidden() || qobject_cast<QAbstractSpinBox*>(e->parentWidget())) continue;
            const bool labelledInLayout = labelled.contains(field);
            EXPECT_TRUE(labelledInLayout)
                << "unlabelled field " << e->objectName().toStdString() << " text " << e->text().toStdString();
        }
    }
}

TEST(FieldDialogs, KeyDialogInheritIsOffUnlessPreset) {
    for (const DialogFields& preset : {DialogFields{}, DialogFields{{dlg::kInherit, true}}}) {
        std::unique_ptr<FieldDialog> d = MakeFieldDialog(dlg::kKeyDialog, nullptr, &S());
        ASSERT_TRUE(d);
        d->SetFields(preset);
        DialogFields out;
        d->GetFields(out);
        EXPECT_EQ(out.value(dlg::kInherit).toBool(), preset.value(dlg::kInherit, false).toBool());
        EXPECT_EQ(out.value(dlg::kTags).toString(), QString());
    }
    // The node view shows its three texts read-only.
    std::unique_ptr<FieldDialog> show = MakeFieldDialog(dlg::kShowNode, nullptr, &S());
    show->SetFields({{dlg::kName, "n"}, {dlg::kTags, "t"}, {dlg::kAllTags, "a t"}});
    QStringList texts;
    for (QLineEdit* e : show->findChildren<QLineEdit*>()) {
        EXPECT_TRUE(e->isReadOnly());
        texts << e->text();
    }
    EXPECT_EQ(texts, QStringList({"n", "t", "a t"}));
}

TEST(NodePicker, TitleButtonsAndRootLabel) {
    TempCatalogue c;
    ScriptedPrompter prompts;
    S().nodes.map.clear();
    S().nodes.copied = QStringLiteral("7");
    TreeControlDlg d(S());
    EXPECT_TRUE(S().nodes.copied.isEmpty());  // opening the picker cancels a COPY NODE
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(d.windowTitle(), kProductName);
    EXPECT_NE(Button(&d, QStringLiteral("确定(OK)")), nullptr);
    EXPECT_NE(Button(&d, QStringLiteral("取消(REMOVE)")), nullptr);
    QTreeWidget* tree = d.findChild<QTreeWidget*>();
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    // Without a node map the picker's root reads 全部文档, not the start-up label.
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("全部文档"));
}

TEST(ProgressDialogTexts, TitleStatusLineAndStopButton) {
    korvel::LongOperation op;
    CShowInfoDlg d(op, [] { return true; });
    EXPECT_EQ(d.windowTitle(), QStringLiteral("进度(PROGRESS)"));
    EXPECT_EQ(d.StatusText(), QStringLiteral("running"));
    EXPECT_EQ(d.stopButton()->text(), QStringLiteral("停止(CANCEL)"));
    EXPECT_EQ(d.findChildren<QPushButton*>().size(), 1);
}

// Qt's own buttons and dialogs speak Chinese once the window's translations are in.
TEST(QtTexts, StandardButtonsAndTheFileDialogInChinese) {
    QTranslator* translator = InstallQtChinese(*qApp);
    ASSERT_NE(translator, nullptr) << "qt6-translations-l10n is not installed";
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Yes);
    const QString ok = box.button(QDialogButtonBox::Ok)->text();
    const QString cancel = box.button(QDialogButtonBox::Cancel)->text();
    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    QStringList labels;
    for (QLabel* l : files.findChildren<QLabel*>()) labels << l->text();
    QCoreApplication::removeTranslator(translator);
    delete translator;
    EXPECT_EQ(ok, QStringLiteral("确定"));
    EXPECT_EQ(cancel, QStringLiteral("取消"));
    EXPECT_TRUE(labels.join(u' ').contains(QStringLiteral("文件名"))) << labels.join(u'|').toStdString();
}
