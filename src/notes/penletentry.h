#pragma once
// The file-manager entry for notes: a desktop entry "添加笔记(KORVEL)" for plain-text files
// in the user's applications folder, whose command hands the file to the companion tool
// `penlet` (beside this program) with this working folder, so the file is catalogued in
// this catalogue as a note record. The option "启动右键菜单中导入笔记(IMPORT PENLET FROM
// SYSMENU FLAG)" writes or removes it; the flag changes only when that worked.

#include <QString>

namespace korvel {

// The entry's display name.
inline const QString kPenletEntryName = QStringLiteral("添加笔记(KORVEL)");
// The companion tool's file name.
inline const QString kPenletProgram = QStringLiteral("penlet");

// $XDG_DATA_HOME/applications/korvel-penlet.desktop, or ~/.local/share/... when
// XDG_DATA_HOME is not set to an absolute path.
QString PenletEntryPath();

// One argument of an Exec line, quoted as the freedesktop desktop-entry rules ask: in
// double quotes, with '"', '`', '$' and '\' escaped by a backslash and '%' doubled.
// The result still needs the string escapes of a value (DesktopValueText).
QString DesktopExecArgument(const QString& arg);
// A value as a desktop entry file holds it: '\' doubled, newline, tab and carriage
// return written as \n, \t, \r.
QString DesktopValueText(const QString& value);

// The entry's text: the Exec line runs penletProgram with "--dir" workDir and the file.
QString PenletEntryText(const QString& penletProgram, const QString& workDir);

// The tool beside the running program (QCoreApplication::applicationDirPath()).
QString PenletProgramPath();

// Writes the entry for this working folder (the current folder). false with the reason
// in *error when it could not be written.
bool WritePenletEntry(QString* error);
// Removes the entry. Succeeds when there is none; false with the reason otherwise.
bool RemovePenletEntry(QString* error);

// Sets the notes option (korvel-cli penlet-entry on|off, the SYSTEM menu's item): writes
// or removes the entry; the flag penletreg changes and is stored only when that worked.
// false with the reason in *error when the entry could not be written or removed.
struct Options;
bool SetPenletEntry(Options& options, bool on, QString* error);

}  // namespace korvel
