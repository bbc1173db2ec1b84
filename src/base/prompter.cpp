#include "base/prompter.h"

#include <QProcess>

#include <cstdio>

namespace korvel {

void ConsolePrompter::Message(const QString& text, const QString& caption, MsgIcon) {
    std::fprintf(stderr, "%s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
}

bool ConsolePrompter::OpenWithDesktop(const QString& path) {
    // Detached, so that the program opened outlives korvel-cli.
    return QProcess::startDetached(QStringLiteral("xdg-open"), {path});
}

void Notice(Prompter& prompter, const QString& text) { prompter.Message(text, kProductName, MsgIcon::Exclamation); }

}  // namespace korvel
