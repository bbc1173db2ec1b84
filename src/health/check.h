#pragma once
// CHECK: the records of a scope classified by what their files look like now (see
// recordscan.h), with the counts per class and per disk and the ids of every record that
// is not present and unchanged. Nothing is read beyond each file's status and nothing in
// the catalogue changes.

#include "health/recordscan.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

namespace korvel {

using StateCounts = std::array<qint64, kScanStates>;

// One disk identity met by a check.
struct CheckedDisk {
    QString identity;      // "0" (or empty): records without an identity
    bool mounted = false;  // at the end of the run
    QString mountPoint;    // where it is mounted, when it is
    QStringList roots;     // the roots the catalogue remembers for it (where it was seen)
    StateCounts counts{};
};

struct CheckReport {
    StateCounts counts{};
    std::vector<CheckedDisk> disks;  // by identity
    // Ids of the records of each class, in row order; none are kept for Present.
    std::array<std::vector<qint64>, kScanStates> ids;
    // Unreadable records: id, path and why.
    struct Problem {
        qint64 id;
        QString path;
        QString why;
    };
    std::vector<Problem> unreadable;
    bool stopped = false;
    qint64 total() const;
};

// Checks the records of scope on conn. each, when given, sees every record as it is
// classified (korvel-cli prints as it goes). Throws DbError.
CheckReport CheckRecords(Connection& conn, const RowQuery& scope, const std::atomic<bool>* stop,
                         const std::function<void(qint64)>& progress,
                         const std::function<void(const ScannedRecord&)>& each, const ScanOptions& options);

// A disk's name for people: its identity, and where it is mounted or was last seen.
QString DiskDescription(const CheckedDisk& disk);

}  // namespace korvel
