#pragma once
// Copying a file out of the catalogue's reach without ever overwriting one: the choice of
// a free target name ("n_name" on a clash, or the target that already holds the same
// content), the copy itself, and the export log "fileout.log".
//
// A copy is written under a temporary name in the target folder, flushed to the disk and
// only then given its final name, which must still be free at that moment. A copy that
// fails half way (a full disk, a vanished source, a read error) therefore leaves nothing
// under the final name, and the temporary file is removed.

#include <QString>

#include <cstdio>

namespace korvel {

// Temporary copies are named kTemporaryCopyPrefix + pid + "-" + six random characters
// (OwnedTemporaryPrefix). They are no documents: the imports never catalogue a name that
// starts with the prefix, and an export removes from each folder it writes into the ones
// that a killed process left (RemoveStaleTemporaryCopies).
inline const QString kTemporaryCopyPrefix = QStringLiteral(".korvel-copy-");
// True for a name (the last path piece) of a temporary copy, left over or in progress.
bool IsTemporaryCopyName(const QString& name);
// Removes the temporary copies in folder whose process has ended. Returns the number.
int RemoveStaleTemporaryCopies(const QString& folder);

struct TargetChoice {
    QString path;              // where the copy goes; empty when no free name was found
    bool sameContent = false;  // path already holds the source's content: nothing to copy
};

// The path to copy source to, starting from target: target itself when it is free or
// holds the same content (CompareFiles); else folder + n + "_" + name for n = 1, 2, ...,
// where name is the target's file name. (Numbering by the target's name keeps the name
// the caller chose when the source is a differently named copy.)
TargetChoice UniqueTargetPath(const QString& source, const QString& target);

// Copies the regular file source to target, which must not exist: through a temporary
// file in target's folder, flushed, then renamed without replacing anything. Keeps the
// permission bits and the modification time of the source. The catalogue's own files are
// refused. On failure returns false with the reason in *error and leaves no file behind;
// *targetTaken tells that the failure was only that target came into existence meanwhile.
bool CopyFileNoReplace(const QString& source, const QString& target, QString* error, bool* targetTaken = nullptr);

// The steps of CopyFileNoReplace, for copying many files with one flush of the disk:
// CopyToTemporary for each, FlushFileSystemOf once, then NameCopy for each.
struct PendingCopy {
    QString source;
    QString temp;    // the temporary file beside target
    QString target;  // its final name
    qint64 size = 0;
};
// Copies source into a new temporary file in target's folder (flushed to the disk when
// sync). On failure nothing is left behind.
bool CopyToTemporary(const QString& source, const QString& target, PendingCopy* pending, QString* error, bool sync);
// Writes everything waiting for the file system that holds folder to the disk.
bool FlushFileSystemOf(const QString& folder, QString* error);
// Gives the temporary file its final name unless that is taken; on failure the temporary
// file is removed.
bool NameCopy(const PendingCopy& copy, QString* error, bool* targetTaken = nullptr);
// Removes the temporary file of a copy that will not be named.
void DiscardCopy(const PendingCopy& copy);

// The export log "fileout.log" in the working directory: created when missing, appended
// to (it is never truncated). One entry per copy attempt: 18 asterisks, "from:" source,
// "to:" target, "secuss" or "fail", an empty line. Paths are written as their bytes on
// disk. A log that cannot be opened is not an error of the export.
class ExportLog {
public:
    static inline const char* const kFileName = "fileout.log";
    ExportLog();
    ~ExportLog();
    ExportLog(const ExportLog&) = delete;
    ExportLog& operator=(const ExportLog&) = delete;
    void Entry(const QString& from, const QString& to, bool ok);

private:
    std::FILE* file_ = nullptr;
};

}  // namespace korvel
