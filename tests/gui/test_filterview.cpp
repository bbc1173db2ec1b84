// The filter dialog: each mode edits its list, adding writes the file at once and always
// shows the text, removing takes the selected entry out, and Escape or the close box add
// the typed text instead of closing (only "关闭(CLOSE)" closes).
#include "files/filters.h"
#include "support/filterfile.h"
#include "support/state.h"
#include "gui/filterview.h"
#include "files/filters.h"
#include "support/workdir.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

const QStringList kElements = {"file", "dir", "index", "import", "fdn", "ffn"};

QStringList Shown(const filterview& dlg) {
    QStringList out;
    for (int i = 0; i < dlg.list()->count(); ++i) out << dlg.list()->item(i)->text();
    return out;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QPushButton* Button(QWidget* dialog, const QString& text) {
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

struct FilterFile {
    TempWorkDir dir;
    FilterFile() {
        for (const QString& e : kElements) S().filters.List(e) = {e + QStringLiteral("-entry")};
    }
    ~FilterFile() {
        for (const QString& e : kElements) S().filters.List(e).clear();
    }
};

}  // namespace

TEST(FilterView, EachModeShowsItsListSorted) {
    FilterFile f;
    S().filters.List("dir") = {"b", "a"};
    const std::pair<int, const char*> modes[] = {{0, "file-entry"}, {5, "import-entry"}, {7, "fdn-entry"},
                                                 {8, "ffn-entry"},  {2, "index-entry"},  {3, "index-entry"}};
    for (const auto& [mode, shown] : modes) {
        filterview dlg(S().filters, mode);
        EXPECT_EQ(Shown(dlg), QStringList({QString::fromLatin1(shown)})) << mode;
    }
    filterview dirs(S().filters, 1);
    EXPECT_EQ(Shown(dirs), QStringList({"a", "b"}));
    EXPECT_EQ(dirs.windowTitle(), "文件夹导入过滤(DIR FILTER SET)");
    EXPECT_EQ(filterview(S().filters, 2).windowTitle(), "内容索引类型(INDEX TYPE SET)");
}

TEST(FilterView, AddShowsTheTextEvenWhenTheFileKeepsItOnce) {
    FilterFile f;
    ASSERT_TRUE(WriteDefaultFilterFile(kFilterFile));
    LoadFilterLists(S().filters);
    filterview dlg(S().filters, 0);
    const int before = dlg.list()->count();
    dlg.OnAdd();  // empty edit: nothing
    EXPECT_EQ(dlg.list()->count(), before);

    dlg.edit()->setText("*.part");
    dlg.OnAdd();
    const QByteArray once = ReadAll(kFilterFile);
    EXPECT_EQ(StoredFilterList("file").count("*.part"), 1);
    dlg.OnAdd();  // again: the file is unchanged, the dialog shows it twice
    EXPECT_EQ(ReadAll(kFilterFile), once);
    EXPECT_EQ(Shown(dlg).count("*.part"), 2);
    EXPECT_EQ(dlg.edit()->text(), "*.part");
}

TEST(FilterView, EscapeAndCloseBoxAddOnlyCloseCloses) {
    FilterFile f;
    ASSERT_TRUE(WriteDefaultFilterFile(kFilterFile));
    LoadFilterLists(S().filters);
    filterview dlg(S().filters, 7);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    dlg.edit()->setText("Papers");
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(StoredFilterList("fdn").count("Papers"), 1);
    dlg.edit()->setText("Letters");
    dlg.close();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(StoredFilterList("fdn").count("Letters"), 1);
    QPushButton* close = Button(&dlg, QStringLiteral("关闭(CLOSE)"));
    ASSERT_NE(close, nullptr);
    close->click();
    EXPECT_FALSE(dlg.isVisible());
    QStringList labels;
    for (QLabel* l : dlg.findChildren<QLabel*>()) labels << l->text();
    EXPECT_EQ(labels, QStringList({"过滤项添加(add filter item)", "过滤项列表(filter list)"}));
    EXPECT_NE(Button(&dlg, QStringLiteral("添加(add)")), nullptr);
    EXPECT_NE(Button(&dlg, QStringLiteral("删除(REMOVE)")), nullptr);
}

TEST(FilterView, RemoveTakesTheSelectedEntryOut) {
    FilterFile f;
    ASSERT_TRUE(WriteDefaultFilterFile(kFilterFile));
    LoadFilterLists(S().filters);
    {
        filterview dlg(S().filters, 0);
        const QStringList before = Shown(dlg);
        dlg.list()->setCurrentItem(nullptr);
        dlg.list()->clearSelection();
        dlg.OnRemove();  // nothing selected: nothing happens
        EXPECT_EQ(Shown(dlg), before);
        dlg.list()->setCurrentRow(static_cast<int>(Shown(dlg).indexOf("*.tmp")));
        dlg.OnRemove();
        EXPECT_FALSE(Shown(dlg).contains("*.tmp"));
        EXPECT_FALSE(StoredFilterList("file").contains("*.tmp"));
        EXPECT_FALSE(S().filters.List("file").contains("*.tmp"));
    }
    // Without a filter file an added entry lives in the dialog only; removing it takes it
    // from the list box and writes no file.
    QFile::remove(kFilterFile);
    filterview dlg(S().filters, 1);
    dlg.edit()->setText("only-here");
    dlg.OnAdd();
    ASSERT_TRUE(Shown(dlg).contains("only-here"));
    EXPECT_FALSE(S().filters.List("dir").contains("only-here"));
    dlg.list()->setCurrentRow(static_cast<int>(Shown(dlg).indexOf("only-here")));
    dlg.OnRemove();
    EXPECT_FALSE(Shown(dlg).contains("only-here"));
    EXPECT_FALSE(QFile::exists(kFilterFile));
}
