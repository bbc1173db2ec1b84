#include "store/rowidsjob.h"

#include <exception>

namespace korvel {

RowIdsJob::RowIdsJob(const QString& connectionString, RowQuery query, int firstRows, std::function<void()> onReady)
    : thread_([this, connectionString, query = std::move(query), firstRows, onReady = std::move(onReady)] {
          Run(connectionString, query, firstRows, onReady);
      }) {}

RowIdsJob::~RowIdsJob() {
    cancel_ = true;
    if (thread_.joinable()) thread_.join();
}

void RowIdsJob::Run(const QString& connectionString, const RowQuery& query, int firstRows,
                    const std::function<void()>& onReady) {
    std::vector<qint64> ids;
    bool failed = false;
    QString failure;
    try {
        Connection own;
        own.Open(connectionString);
        if (firstRows > 0) {
            std::vector<qint64> first = FirstRowIds(own, query, firstRows, &cancel_);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                firstRows_ = std::move(first);
            }
            if (!cancel_ && onReady) onReady();
        }
        ids = OrderedRowIds(own, query, &cancel_);
    } catch (const DbError& e) {
        failed = true;
        failure = e.description();
    } catch (const std::exception& e) {
        failed = true;
        failure = QString::fromUtf8(e.what());
    } catch (...) {
        failed = true;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ids_ = std::move(ids);
        failed_ = failed;
        failure_ = std::move(failure);
        done_ = true;
    }
    if (!cancel_ && onReady) onReady();
}

bool RowIdsJob::Done() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return done_;
}

std::optional<std::vector<qint64>> RowIdsJob::TakeFirstRows() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<std::vector<qint64>> first = std::move(firstRows_);
    firstRows_.reset();
    return first;
}

void RowIdsJob::Wait() {
    if (thread_.joinable()) thread_.join();
}

std::optional<std::vector<qint64>> RowIdsJob::TakeIds() {
    Wait();
    if (failed_) return std::nullopt;
    return std::move(ids_);
}

}  // namespace korvel
