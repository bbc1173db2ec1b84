#pragma once
// Rows of many records read by id with one prepared statement: "select COLUMNS from main
// where id in (?,?,...)" with kIdsPerBatch bound ids, prepared once and run once per batch
// of ids, so that reading ten thousand records costs twenty statement runs instead of ten
// thousand (each run of a statement outside a transaction takes and drops the read lock).

#include "store/catalogue.h"

#include <QString>

#include <functional>
#include <vector>

namespace korvel {

class RecordsById {
public:
    // Ids bound per run of the statement.
    static constexpr int kIdsPerBatch = 500;

    // The statement on conn reading `columns` ("id, findkey") of main. Throws DbError.
    RecordsById(Connection& conn, const QString& columns);

    // Runs the statement for ids[from, to) (the last batch filled by repeating its last id)
    // and calls row(statement) for every record found, in the engine's order; an id given
    // twice in one batch gives one row. The statement is reset before it returns: no read
    // stays open. Throws DbError.
    void Read(const std::vector<qint64>& ids, size_t from, size_t to, const std::function<void(Statement&)>& row);

private:
    Statement st_;
};

}  // namespace korvel
