#pragma once
// A long operation: the stop token that the progress dialog's stop button sets and the
// status queue that the worker thread fills and the dialog empties. Each long operation
// has its own, so that two running at once never stop or report for each other.

#include <QString>

#include <atomic>
#include <deque>
#include <mutex>

namespace korvel {

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
    // Number of texts waiting.
    int Pending() const;
    // Empties the queue.
    void ClearStatus();

private:
    std::atomic<bool> stop_{false};
    // The only structure two threads change, guarded by one mutex.
    mutable std::mutex mutex_;
    std::deque<QString> queue_;
};

}  // namespace korvel
