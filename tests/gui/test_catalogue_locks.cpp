// The window's own file dialogs must not open the catalogue's files: on Linux, closing
// any descriptor of a file drops every record lock the process holds on it, after which
// another program would remove the write-ahead log under the window.
#include "base/settings.h"
#include "gui/GuiPrompter.h"
#include "support/state.h"
#include "store/catalogue.h"
#include "support/catalogue.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

using namespace korvel;

namespace {

// Runs korvel-cli in the current folder; its standard output.
QString RunCli(const QStringList& args, int* status = nullptr) {
    QProcess p;
    p.start(QStringLiteral(KORVEL_CLI), QStringList{"--dir", QDir::currentPath()} + args);
    p.waitForFinished(60000);
    if (status) *status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Closes the modal dialog that `open` shows once it has listed its folder for a while.
void WithDialogShown(const std::function<void()>& open) {
    QTimer::singleShot(1500, [] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    open();
}

}  // namespace

TEST(CatalogueLocks, FileDialogsOnTheWorkingFolderLeaveTheCatalogueToTheEngine) {
    TempCatalogue cat;
    ExecuteSql(QStringLiteral("insert into main2(name, findkey, fid) values('before', 'b', 0)"), adCmdTextNoRecords,
               S().catalogue);
    GuiPrompter gui(S());
    S().SetPrompter(&gui);
    // The pickers start in the working folder, where the catalogue's files are.
    RememberPickFolder(PickKind::Import, QDir::currentPath());
    ASSERT_EQ(PickStartFolder(PickKind::Import), QDir::currentPath());
    WithDialogShown([&] { EXPECT_FALSE(gui.PickFiles(PickKind::Import).has_value()); });
    WithDialogShown([&] { EXPECT_FALSE(gui.PickFolder(PickKind::Import).has_value()); });
    S().SetPrompter(nullptr);

    // Another program opens and closes the catalogue: it must find the window still there
    // and leave its write-ahead log alone.
    int status = -1;
    EXPECT_TRUE(RunCli({"nodes"}, &status).contains("before"));
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(QFile::exists("kv.kdb-wal"));
    EXPECT_TRUE(QFile::exists("kv.kdb-shm"));

    // The window's next change reaches the other program.
    ExecuteSql(QStringLiteral("insert into main2(name, findkey, fid) values('after', 'a', 0)"), adCmdTextNoRecords,
               S().catalogue);
    EXPECT_TRUE(RunCli({"nodes"}).contains("after"));
}
