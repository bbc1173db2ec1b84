// Korvel: the window on the catalogue of a folder (the argument, or the working folder).
#include "base/prompter.h"
#include "app/startup.h"
#include "commands/systemmenu.h"
#include "gui/CMainFrame.h"
#include "gui/GuiPrompter.h"
#include "gui/QtTranslations.h"
#include "session/session.h"

#include "base/fsutil.h"

#include <QApplication>

using namespace korvel;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(kProductName);
    InstallQtChinese(app);

    Session session;
    GuiPrompter gui(session);
    session.SetPrompter(&gui);
    struct RestorePrompter {
        Session& s;
        ~RestorePrompter() { s.SetPrompter(nullptr); }
    } restore{session};

    // korvel [DIR]: the catalogue of DIR (a missing DIR is made with an empty catalogue),
    // else the one of the working folder.
    // (QApplication has taken its own options out of argv.)
    QStringList args;
    for (int i = 1; i < argc; ++i) args << DecodePath(QByteArray(argv[i]));
    if (args.size() > 1 || (!args.isEmpty() && args[0].startsWith(QLatin1Char('-')))) {
        gui.Message(QStringLiteral("用法(USAGE): korvel [DIR]"), kProductName, MsgIcon::Exclamation);
        return 2;
    }
    if (!args.isEmpty()) {
        QString error;
        if (!EnterWorkingDirectory(args[0], &error)) {
            gui.Message(error, QStringLiteral("警告"), MsgIcon::Exclamation);
            return 1;
        }
    }

    // Offers to create a missing catalogue; a catalogue that cannot be opened ends here.
    if (StartWithPrompts(session).kind != Outcome::Kind::Done) return 1;

    CMainFrame frame(session);
    gui.SetParentWindow(&frame);
    frame.show();

    // KORVEL_OPEN_NODE=<id>: expand the whole tree and open that node at start.
    const QString openNode = qEnvironmentVariable("KORVEL_OPEN_NODE");
    if (!openNode.isEmpty()) frame.ExpandAllAndOpen(openNode);

    const int rc = app.exec();
    gui.SetParentWindow(nullptr);
    return rc;
}
