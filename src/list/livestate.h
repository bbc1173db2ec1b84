#pragma once
// What the window needs to show the catalogue as it is: whether it changed since it was
// last looked at (by another program, or by this one), and the state of a listed record's
// file (there, missing, or on a disk that is not mounted), known from the stored path,
// the disk identity and the mount table alone: no file is opened.

#include "store/catalogue.h"

#include <QString>

namespace korvel {

class ChangeWatch {
public:
    enum class Change { None, Own, Others };
    // Takes the catalogue's state now as the starting point.
    explicit ChangeWatch(Connection& conn);
    // What changed since the last poll: a commit by another connection (another program,
    // or a worker's own connection) is Others, whatever this connection changed too;
    // changes made on this connection alone are Own. Throws DbError.
    Change Poll();

private:
    qint64 Version();
    Connection& conn_;
    qint64 version_ = -1;
    qint64 ownChanges_ = 0;
};

enum class FileState { Present, Missing, Offline };

// The state of a record's file from its stored path dir and disk identity vol: Present
// when the path it resolves to (ResolvePathByDisk with byDisk) exists (a stat); else
// Offline when its disk identity is not mounted now, Missing when it is (or is unknown).
FileState RecordFileState(const QString& dir, const QString& vol, bool byDisk, Connection& conn);

}  // namespace korvel
