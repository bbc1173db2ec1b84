#pragma once
// Small file-system and process helpers shared by import, export, backups and notes.
// None touches the catalogue; none keeps state between calls.
//
// Paths in the program are QStrings; on disk they are bytes. Every helper here that
// takes a path turns it into bytes with EncodePath, and whoever reads names from disk
// turns them into text with DecodePath, so that a name that is not valid UTF-8 survives
// the trip disk -> catalogue text -> disk unchanged. Do not hand catalogue paths to
// QFile/QFileInfo/QDir directly when they may hold such names: use EncodePath or FsPath.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <filesystem>

namespace korvel {

// 0 when the path's status cannot be read (stat, following links), 2 for a folder,
// 1 otherwise. Paths that contain a NUL character, and the marker paths of disks that
// are not mounted (volumes.h), never exist.
int PathKind(const QString& path);
bool IsFolderPath(const QString& path);
bool PathExists(const QString& path);

// How a size becomes text. Import: "%d M" of size/1024/1024 when size > 1,048,576, else
// "%d K" of size/1024. Update (UPDATE REC): the same, except "%d K" of size/1024 + 1, so a
// file of 10 bytes reads "1 K".
enum class SizeRule { Import, Update };
QString FileSizeText(std::uint64_t size, SizeRule rule = SizeRule::Import);

// Size and modification-time texts of a path as the import stores them; both empty
// when the status cannot be read. Time: local time "%Y-%m-%d %H:%M:%S".
struct FileStatusTexts {
    bool ok = false;
    QString sizeText;
    QString timeText;
};
FileStatusTexts StatusTexts(const QString& path, SizeRule rule = SizeRule::Import);

// The modification-time text of a record: local time "%Y-%m-%d %H:%M:%S".
QString RecordTimeText(long long secondsSinceEpoch);

// The start of every path resolved for a disk that is not mounted now:
// "/nonexistent-disk-" + identity + the rest of the stored path below its root.
// PathKind and the other helpers here treat every path below it as missing, so such a
// path never opens anything even if someone created the folder.
inline const QString kUnmountedDiskPrefix = QStringLiteral("/nonexistent-disk-");
inline bool IsUnmountedDiskPath(const QString& path) { return path.startsWith(kUnmountedDiskPrefix); }

// Runs a command line without a terminal and captures its standard output.
// 0 on success, -1 pipe, -2 cannot start, -3 cannot inspect, -4 cannot read.
// The line is split like a shell word list (double quotes group words, as
// QProcess::splitCommand does); the program is looked up in PATH unless it holds a "/".
// Standard input and standard error are /dev/null; the child runs in its own session, so
// it has no controlling terminal. The output is decoded as UTF-8. The call waits for the
// end of the process (and of anything that keeps its standard output open).
//
// With a time limit (timeoutMs >= 0) the call waits at most that long: when the process
// (or anything holding its standard output) is still running then, its whole process
// group is killed with SIGKILL, the output read so far is kept, and the result is
// kRunCommandTimedOut. Without one (the default, -1) it waits for as long as it takes.
constexpr int kRunCommandTimedOut = -5;
int RunCommand(const QString& commandLine, QString& output, int timeoutMs = -1);

// First free path folder/prefix+name, then folder/prefix+n_name for n = 0..998; empty
// when the folder does not exist or no name is free. Trailing "/" of the folder are
// reduced to one.
QString FreeNumberedName(const QString& folder, const QString& prefix, const QString& name);

// Temporary files and folders that carry the id of the process that makes them in their
// names: prefix + pid + "-" + a unique part. A later run tells the leftovers of a process
// that was killed (no process has that id now) from the work of one still running.
// The name start for this process: prefix + pid + "-".
QString OwnedTemporaryPrefix(const QString& prefix);
// True when name starts with prefix + a process id + "-" and no process has that id now.
bool IsLeftoverOfEndedProcess(const QString& name, const QString& prefix);
// Removes every entry of folder (files, or folders with their content) whose name is a
// leftover of an ended process (IsLeftoverOfEndedProcess). Returns how many it removed.
int RemoveLeftoversOfEndedProcesses(const QString& folder, const QString& prefix);

// Native path <-> catalogue text. Names that are not valid UTF-8 survive the round trip.
//
// DecodePath: valid UTF-8 sequences become their characters. Every other byte (a byte
// that does not start or continue a valid sequence, an overlong form, an encoded
// surrogate) becomes the private-use character U+F780 + (byte - 0x80). Bytes of a valid
// sequence that encodes a character of that same range U+F780..U+F7FF are escaped the
// same way, byte by byte, so the escape characters are never ambiguous.
// EncodePath: each character U+F780..U+F7FF becomes the single byte (c - 0xF780 + 0x80);
// every other character is written as UTF-8 (an unpaired surrogate as U+FFFD).
// Hence EncodePath(DecodePath(b)) == b for every byte string b.
QByteArray EncodePath(const QString& path);
QString DecodePath(const QByteArray& bytes);

// True when the text holds escaped bytes, that is when its name on disk is not UTF-8.
bool PathHasRawBytes(const QString& path);

// The same conversions for std::filesystem.
std::filesystem::path FsPath(const QString& path);
QString FromFsPath(const std::filesystem::path& path);

}  // namespace korvel
