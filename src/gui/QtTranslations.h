#pragma once
// Qt's own texts (the buttons of message boxes, the file dialog, the context menus of
// text fields) in Chinese, like the rest of the window: Debian's Qt translations
// (qt6-translations-l10n), loaded at start.

class QCoreApplication;
class QTranslator;

namespace korvel {

// Installs Qt's Chinese translations into app and returns the translator (owned by app);
// nullptr when they are not installed (the toolkit's texts then stay English).
QTranslator* InstallQtChinese(QCoreApplication& app);

}  // namespace korvel
