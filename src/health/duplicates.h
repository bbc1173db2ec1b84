#pragma once
// FIND DUPLICATES: records whose files (on mounted disks) hold the same bytes, in groups,
// the most wasted space first. Files are compared by size first (from the status the scan
// takes anyway), then by a digest of their first block, then by a digest of the rest, so
// that each file is read at most once and only as far as needed; the reads run in
// parallel on every core. Records that name one and the same file (the same disk and
// path, or hard links to one file) are a group of their own that costs no read.
//
// Memory: 32 bytes per file record in the scope while sizes are compared; paths are kept
// only for records whose size another file shares.

#include "health/recordscan.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <vector>

namespace korvel {

struct DuplicateMember {
    qint64 id = 0;
    QString path;  // the record's file where it is now (resolved)
};

struct DuplicateGroup {
    enum class Kind { SameContent, SameFile };
    Kind kind = Kind::SameContent;
    quint64 size = 0;                      // bytes of each file
    int files = 0;                         // distinct files in the group
    quint64 wasted = 0;                    // size * (files - 1): what deleting all copies but one frees
    std::vector<DuplicateMember> members;  // by path, then id
};

struct DuplicateOptions {
    quint64 minSize = 1;  // smaller files are left out (empty files by default)
    int threads = 0;      // digest threads; 0: one per core
};

struct DuplicateReport {
    // Content groups, most wasted space first (then larger files, then lower ids); then
    // the same-file groups of files that are in no content group, larger files first.
    std::vector<DuplicateGroup> groups;
    QStringList problems;  // files that could not be read or changed during the run
    bool stopped = false;
    qint64 filesRead = 0;  // files opened for a digest
    qint64 bytesRead = 0;
};

// Finds the duplicates among the records of scope on conn. stop is looked at between
// batches and files; status, when given, gets short progress texts. Throws DbError.
DuplicateReport FindDuplicates(Connection& conn, const RowQuery& scope, const DuplicateOptions& options,
                               const std::atomic<bool>* stop, const std::function<void(const QString&)>& status);

}  // namespace korvel
