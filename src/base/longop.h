#pragma once
// Long operations: the status queue that a worker thread fills and the progress dialog
// empties, and the stop flag that the dialog's stop button sets.

#include <QString>

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

}  // namespace korvel
