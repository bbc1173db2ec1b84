// Korvel: the window on the catalogue of the working folder.
#include "base/prompter.h"
#include "app/startup.h"
#include "gui/CMainFrame.h"
#include "gui/GuiPrompter.h"

#include <QApplication>

using namespace korvel;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(kProductName);

    GuiPrompter gui;
    SetPrompter(&gui);
    struct RestorePrompter {
        ~RestorePrompter() { SetPrompter(nullptr); }
    } restore;

    // Offers to create a missing catalogue; a catalogue that cannot be opened ends here.
    if (!StartWithPrompts()) return 1;

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
