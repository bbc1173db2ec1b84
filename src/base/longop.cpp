#include "base/longop.h"

#include <deque>
#include <mutex>

namespace korvel {

std::atomic<bool> g_stop_requested{false};

namespace {
// g_status_queue: the only structure two threads change, guarded by one mutex.
std::mutex g_status_mutex;
std::deque<QString> g_status_queue;
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

}  // namespace korvel
