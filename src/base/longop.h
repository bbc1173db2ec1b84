#pragma once
// Long operations: the status queue that a worker thread fills and the progress dialog
// empties, and the stop flag that the dialog's stop button sets.

#include <QString>
#include <QStringList>

#include <atomic>

namespace korvel {

// 1 after the stop button was pressed; starters clear it before a worker starts.
// Workers test it between entries, never inside a statement or a file operation.
extern std::atomic<bool> g_stop_requested;

// Appends a copy of text to g_status_queue. Any thread may call it.
void PostStatus(const QString& text);

// Removes the oldest text into out; 0 when a text was taken, -1 when the queue was empty.
int TakeStatus(QString& out);

// Number of texts waiting (for tests and the dialog).
int PendingStatusCount();

// Empties the queue (tests only: the product never empties it).
void ClearStatusQueueForTests();

// Where the running operation stands, for the progress dialog: done of total items
// (total 0: not known), the item at hand, and what failed so far. Any thread may report;
// the starter of an operation resets it before the worker starts.
struct ProgressState {
    qint64 done = 0;
    qint64 total = 0;
    QString item;
    QStringList failures;
};
void ReportProgress(qint64 done, qint64 total, const QString& item);
// One thing that failed (a file not copied, a record not indexed), in the user's words.
void ReportFailure(const QString& what);
ProgressState CurrentProgress();
void ResetProgress();

// Seconds left at the pace so far (done items in elapsed seconds); -1 while there is no
// pace to go by (nothing done yet, or no total).
double EstimateSecondsLeft(qint64 done, qint64 total, double elapsedSeconds);

}  // namespace korvel
