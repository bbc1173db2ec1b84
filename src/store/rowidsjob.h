#pragma once
// The ordered ids of a listing, made on a worker thread with its own connection to the same
// catalogue, so that the thread that shows the listing never waits for a whole table.

#include "store/ordering.h"

#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace korvel {

class RowIdsJob {
public:
    // Starts at once. With firstRows > 0 the worker hands over that many first ids as soon
    // as they are known, then makes the whole list (OrderedRowIds; a listing of every row
    // finds its first ids in a pass of their own, FirstRowIds). onReady, when set, is
    // called on the worker after each, unless the job was cancelled; it must not block.
    RowIdsJob(const QString& connectionString, RowQuery query, int firstRows, std::function<void()> onReady);
    // Cancels the job and waits for its thread.
    ~RowIdsJob();
    RowIdsJob(const RowIdsJob&) = delete;
    RowIdsJob& operator=(const RowIdsJob&) = delete;

    // True once the whole list is made or the job failed.
    bool Done() const;
    // The first ids, once found and not taken yet.
    std::optional<std::vector<qint64>> TakeFirstRows();
    // Waits for the worker to finish (or fail) on its own.
    void Wait();
    // Waits, then the whole list; nothing when the job failed (failure() tells why).
    std::optional<std::vector<qint64>> TakeIds();
    // The engine's reason after a failed job.
    const QString& failure() const { return failure_; }

private:
    void Run(const QString& connectionString, const RowQuery& query, int firstRows,
             const std::function<void()>& onReady);

    std::atomic<bool> cancel_{false};
    mutable std::mutex mutex_;
    bool done_ = false;
    bool failed_ = false;
    QString failure_;
    std::vector<qint64> ids_;
    std::optional<std::vector<qint64>> firstRows_;
    std::thread thread_;  // last: started once the members above exist
};

}  // namespace korvel
