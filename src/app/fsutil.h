#pragma once
// Small file-system and process helpers shared by import, export, backups and notes.
// None touches the catalogue; none keeps state between calls.

#include <QString>

#include <cstdint>

namespace korvel {

// 0 when the path's status cannot be read, 2 for a folder, 1 otherwise.
int PathKind(const QString& path);
bool IsFolderPath(const QString& path);
bool PathExists(const QString& path);

// "%d M" of size/1024/1024 when size > 1,048,576, else "%d K" of size/1024.
QString FileSizeText(std::uint64_t size);

// Size and modification-time texts of a path as the import stores them; both empty
// when the status cannot be read. Time: local time "%Y-%m-%d %H:%M:%S".
struct FileStatusTexts {
    bool ok = false;
    QString sizeText;
    QString timeText;
};
FileStatusTexts StatusTexts(const QString& path);

// The disk identity of the volume holding path, as unsigned decimal text; "0" when unknown.
QString DriveDiskId(const QString& path);

// Runs a command line without a terminal and captures its standard output.
// 0 on success, -1 pipe, -2 cannot start, -3 cannot inspect, -4 cannot read.
int RunCommand(const QString& commandLine, QString& output);

// First free path folder/prefix+name, then folder/prefix+n_name for n = 0..998; empty
// when the folder does not exist or no name is free.
QString FreeNumberedName(const QString& folder, const QString& prefix, const QString& name);

// Native path <-> catalogue text. Names that are not valid UTF-8 survive the round trip.
QByteArray EncodePath(const QString& path);
QString DecodePath(const QByteArray& bytes);

}  // namespace korvel
