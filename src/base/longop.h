#pragma once
// A long operation: the stop token that the progress dialog's stop button sets and the
// status queue that the worker thread fills and the dialog empties. Each long operation
// has its own, so that two running at once never stop or report for each other.

#include <QString>
#include <QStringList>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>

namespace korvel {

// Where a running operation stands, for the progress dialog: done of total items
// (total 0: not known), the item at hand, and what failed so far.
struct ProgressState {
    qint64 done = 0;
    qint64 total = 0;
    QString item;
    QStringList failures;
};

// Where a worker stands, told as it goes (done of total items, the item at hand); a
// command hands its operation's ReportProgress to the functions it runs.
using ProgressReport = std::function<void(qint64 done, qint64 total, const QString& item)>;

class LongOperation {
public:
    LongOperation() = default;
    LongOperation(const LongOperation&) = delete;
    LongOperation& operator=(const LongOperation&) = delete;

    // Clears the stop token; starters call it before a worker starts. The status queue
    // is kept: texts posted before are still shown first.
    void Start() { stop_ = false; }
    // Asks the worker to stop. Workers test it between entries, never inside a statement
    // or a file operation.
    void RequestStop() { stop_ = true; }
    bool StopRequested() const { return stop_; }
    // The token itself, for the functions that take a stop flag.
    const std::atomic<bool>* StopToken() const { return &stop_; }

    // Appends a copy of text to the status queue. Any thread may call it.
    void Post(const QString& text);
    // Removes the oldest text into out; 0 when a text was taken, -1 when the queue was empty.
    int Take(QString& out);
    // Removes every waiting text, oldest first, in one step (a reader that prints them all
    // takes the lock once per batch, not once per text).
    std::deque<QString> TakeAll();
    // Number of texts waiting.
    int Pending() const;

    // The progress of the operation. Any thread may report; the starter resets it before
    // the worker starts.
    void ReportProgress(qint64 done, qint64 total, const QString& item);
    // One thing that failed (a file not copied, a record not indexed), in the user's words.
    void ReportFailure(const QString& what);
    ProgressState Progress() const;
    void ResetProgress();

private:
    std::atomic<bool> stop_{false};
    // The only structure two threads change, guarded by one mutex.
    mutable std::mutex mutex_;
    std::deque<QString> queue_;
    // The progress, guarded by its own mutex.
    mutable std::mutex progressMutex_;
    ProgressState progress_;
};

// Seconds left at the pace so far (done items in elapsed seconds); -1 while there is no
// pace to go by (nothing done yet, or no total).
double EstimateSecondsLeft(qint64 done, qint64 total, double elapsedSeconds);

}  // namespace korvel
