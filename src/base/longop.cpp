#include "base/longop.h"

#include <deque>
#include <mutex>

namespace korvel {

std::atomic<bool> g_stop_requested{false};

namespace {
// g_status_queue: the only structure two threads change, guarded by one mutex.
std::mutex g_status_mutex;
std::deque<QString> g_status_queue;
// The progress of the running operation, guarded by its own mutex.
std::mutex g_progress_mutex;
ProgressState g_progress;
}  // namespace

void PostStatus(const QString& text) {
    std::lock_guard<std::mutex> lock(g_status_mutex);
    g_status_queue.push_back(text);
}

int TakeStatus(QString& out) {
    std::lock_guard<std::mutex> lock(g_status_mutex);
    if (g_status_queue.empty()) return -1;
    out = g_status_queue.front();
    g_status_queue.pop_front();
    return 0;
}

int PendingStatusCount() {
    std::lock_guard<std::mutex> lock(g_status_mutex);
    return static_cast<int>(g_status_queue.size());
}

void ClearStatusQueueForTests() {
    std::lock_guard<std::mutex> lock(g_status_mutex);
    g_status_queue.clear();
}

void ReportProgress(qint64 done, qint64 total, const QString& item) {
    std::lock_guard<std::mutex> lock(g_progress_mutex);
    g_progress.done = done;
    g_progress.total = total;
    g_progress.item = item;
}

void ReportFailure(const QString& what) {
    std::lock_guard<std::mutex> lock(g_progress_mutex);
    g_progress.failures << what;
}

ProgressState CurrentProgress() {
    std::lock_guard<std::mutex> lock(g_progress_mutex);
    return g_progress;
}

void ResetProgress() {
    std::lock_guard<std::mutex> lock(g_progress_mutex);
    g_progress = ProgressState{};
}

double EstimateSecondsLeft(qint64 done, qint64 total, double elapsedSeconds) {
    if (done <= 0 || total <= 0 || elapsedSeconds <= 0) return -1;
    if (done >= total) return 0;
    return elapsedSeconds * static_cast<double>(total - done) / static_cast<double>(done);
}

}  // namespace korvel
