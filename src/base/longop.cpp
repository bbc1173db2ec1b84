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

int LongOperation::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(queue_.size());
}

void LongOperation::ClearStatus() {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.clear();
}

}  // namespace korvel
