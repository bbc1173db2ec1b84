#pragma once
// The catalogue's schema in one place: the tables, their indexes, and the column names of
// the record table main in column order (list column i shows field i).

#include <QString>
#include <QStringList>

#include <vector>

namespace korvel {

// The 11 column names of main in column order.
extern const QStringList g_column_names;
// Index of "id" in g_column_names.
inline constexpr int kIdColumn = 3;
// The columns of main that hold times ("2026-12-10 9:05:01": hours without a leading zero).
inline bool IsTimeColumn(const QString& name) {
    return name.compare(QLatin1String("filedtime"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("fileinputdtime"), Qt::CaseInsensitive) == 0;
}

// The statements that create an empty catalogue (tables, then indexes).
const std::vector<const char*>& SchemaStatements();
// Statements that bring a catalogue made by an earlier version up to date; each may run
// on every open ("if not exists").
const std::vector<const char*>& SchemaUpgradeStatements();
// The tables and indexes those statements make: when all exist, nothing is run.
const QStringList& SchemaUpgradeNames();

}  // namespace korvel
