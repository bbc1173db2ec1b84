// Korvel: the window on the catalogue of the working folder.
#include "app/prompter.h"
#include "app/startup.h"
#include "gui/CMainFrame.h"
#include "gui/GuiPrompter.h"

#include <QApplication>
#include <QFileInfo>

using namespace korvel;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(kProductName);

    GuiPrompter gui;
    SetPrompter(&gui);
    struct RestorePrompter {
        ~RestorePrompter() { SetPrompter(nullptr); }
    } restore;

    // A working folder without a catalogue: offer to create an empty one here.
    if (!QFileInfo::exists(kCatalogueFile)) {
        const QString question =
            QStringLiteral("当前文件夹中没有目录文件 %1。\n要在此创建一个新的空目录吗？\n(%2)")
                .arg(kCatalogueFile, QFileInfo(QStringLiteral(".")).absoluteFilePath());
        if (gui.AskYesNo(question, kProductName)) {
            QString error;
            if (InitWorkingDirectory(&error) == InitResult::Failed) {
                gui.Message(error, QStringLiteral("警告"), MsgIcon::Exclamation);
                return 1;
            }
        }
    }

    QString error;
    if (!StartCore(&error)) {
        gui.Message(error, QStringLiteral("警告"), MsgIcon::Exclamation);
        return 1;
    }

    CMainFrame frame;
    gui.SetParentWindow(&frame);
    frame.show();

    // KORVEL_OPEN_NODE=<id>: expand the whole tree and open that node at start.
    const QString openNode = qEnvironmentVariable("KORVEL_OPEN_NODE");
    if (!openNode.isEmpty()) frame.ExpandAllAndOpen(openNode);

    const int rc = app.exec();
    gui.SetParentWindow(nullptr);
    return rc;
}
