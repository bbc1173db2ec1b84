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
        const FirstRows first{firstRows, [&](std::vector<qint64> page) {
                                  {
                                      std::lock_guard<std::mutex> lock(mutex_);
                                      firstRows_ = std::move(page);
                                  }
                                  if (!cancel_ && onReady) onReady();
                              }};
        // Of a listing of every row, the engine's sorter keeps page 1 faster than the whole
        // list's values are gathered: a pass of its own. Under a condition the values of
        // the rows that match are gathered alongside the condition's work, and one pass
        // serves page 1 and the whole list.
        const bool everyRow = !query.byIds && query.condition.trimmed().isEmpty();
        if (firstRows > 0 && everyRow) {
            first.ready(FirstRowIds(own, query, firstRows, &cancel_));
            ids = OrderedRowIds(own, query, &cancel_);
        } else {
            ids = OrderedRowIds(own, query, &cancel_, firstRows > 0 ? &first : nullptr);
        }
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
