// The record sync asks for its target with a file dialog that lists catalogue files and
// a question (not a warning) that names the target.
#include "gui/GuiPrompter.h"
#include "support/catalogue.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace korvel;

namespace {

// Looks at the modal dialog that `open` shows, then closes it.
void InspectDialog(const std::function<void(QWidget*)>& look, const std::function<void()>& open) {
    QTimer::singleShot(800, [look] {
        QWidget* w = QApplication::activeModalWidget();
        look(w);
        if (w) w->close();
    });
    open();
}

}  // namespace

TEST(SyncTargetDialogs, CatalogueFilesAndAQuestionIcon) {
    TempCatalogue cat;
    GuiPrompter gui(S());
    InspectDialog(
        [](QWidget* w) {
            auto* dlg = qobject_cast<QFileDialog*>(w);
            ASSERT_NE(dlg, nullptr);
            EXPECT_EQ(dlg->nameFilters(), kCatalogueFileFilters);
            EXPECT_EQ(dlg->selectedNameFilter(), "kv.kdb (kv.kdb *.kdb)");
        },
        [&] { EXPECT_FALSE(gui.PickCatalogueFiles().has_value()); });
    InspectDialog(
        [](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->icon(), QMessageBox::Question);
            EXPECT_EQ(box->text(), "文件记录同步到:/x/kv.kdb");
        },
        [&] { EXPECT_FALSE(gui.ConfirmQuestion("文件记录同步到:/x/kv.kdb", "info")); });
}
