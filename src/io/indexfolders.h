#pragma once
// Index folders follow their records. "index/" + id, beside the catalogue, holds the
// content index of record id (ContentIndex::FolderOf); the content-index library rebuilds
// its store from these folders, so a folder is what makes a record's text searchable.
// Record ids are reused (a new record gets max(id)+1), so a folder left behind by a
// deleted record would hand its old text to the next record of that id. These keep the
// folders in step with the records across kills:
//  - a fresh id drops any folder it has before its record is committed
//    (DropIndexOfFreshId): the id was free, so the folder belonged to no record;
//  - a delete lists the ids whose folders are to go in a removal note under
//    "index/.removing/" before its transaction commits, and removes the note once the
//    folders are gone (IndexRemovalNote);
//  - opening the catalogue finishes the notes of processes that ended (were killed)
//    before they removed them (SettleIndexFolders). Without notes that costs one failed
//    folder lookup.

#include "store/catalogue.h"

#include <QString>
#include <QStringList>

namespace korvel {

// The index folder of record id in the catalogue folder workFolder (empty: the working
// folder, as "./index/" + id).
QString IndexFolderIn(const QString& workFolder, qint64 id);

// True unless workFolder (empty: the working folder) surely has no "index/": without it
// no record has an index folder there. One status lookup.
bool IndexFoldersIn(const QString& workFolder);

// Removes the index folder that the fresh record id may have in workFolder (empty: the
// working folder). One status lookup when there is none. A folder that cannot be
// removed (no rights) is left as it is, silently.
void DropIndexOfFreshId(qint64 id, const QString& workFolder = QString());

// The ids of records being deleted, noted in the working folder's "index/.removing/"
// until their index folders are gone. Nothing is written while no id is added, nor when
// the working folder has no "index/" (then no record has an index folder to remove).
class IndexRemovalNote {
public:
    IndexRemovalNote() = default;
    ~IndexRemovalNote();  // the folders are gone: the note is removed
    IndexRemovalNote(const IndexRemovalNote&) = delete;
    IndexRemovalNote& operator=(const IndexRemovalNote&) = delete;
    // Adds ids to the note. Called inside the transaction that deletes their records,
    // before it commits. A note that cannot be written is not an error of the delete.
    void Add(const QStringList& ids);

private:
    bool tried_ = false;
    int fd_ = -1;
    QString path_;
};

// Finishes the removal notes that ended processes left: for each id of such a note whose
// record no longer exists, the index folder is removed; then the note. Runs in a write
// transaction of conn, so no record can take one of those ids meanwhile; when the lock
// cannot be had (or the catalogue is read-only) the notes stay for the next open.
// Returns the number of folders removed.
int SettleIndexFolders(Connection& conn);

}  // namespace korvel
