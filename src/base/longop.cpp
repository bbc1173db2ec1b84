#include "base/longop.h"

namespace korvel {

void LongOperation::Post(const QString& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(text);
}

int LongOperation::Take(QString& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.empty()) return -1;
    out = queue_.front();
    queue_.pop_front();
    return 0;
}

std::deque<QString> LongOperation::TakeAll() {
    std::deque<QString> all;
    std::lock_guard<std::mutex> lock(mutex_);
    all.swap(queue_);
    return all;
}

int LongOperation::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(queue_.size());
}

void LongOperation::ReportProgress(qint64 done, qint64 total, const QString& item) {
    std::lock_guard<std::mutex> lock(progressMutex_);
    progress_.done = done;
    progress_.total = total;
    progress_.item = item;
}

void LongOperation::ReportFailure(const QString& what) {
    std::lock_guard<std::mutex> lock(progressMutex_);
    progress_.failures << what;
}

ProgressState LongOperation::Progress() const {
    std::lock_guard<std::mutex> lock(progressMutex_);
    return progress_;
}

void LongOperation::ResetProgress() {
    std::lock_guard<std::mutex> lock(progressMutex_);
    progress_ = ProgressState{};
}

double EstimateSecondsLeft(qint64 done, qint64 total, double elapsedSeconds) {
    if (done <= 0 || total <= 0 || elapsedSeconds <= 0) return -1;
    if (done >= total) return 0;
    return elapsedSeconds * static_cast<double>(total - done) / static_cast<double>(done);
}

}  // namespace korvel
