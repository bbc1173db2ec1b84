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

// The date of a fileinputdtime text as the number yyyymmdd, from built-in functions only
// (so that any program can write the catalogue): the leading number, the number after
// the first "-", the number after the second. For every text that is a time by
// TimeOrderKey (store/pageset.h) it is that key's date part, whatever the padding of its
// parts; for other texts it is anything. The index main_inputdate holds it, and the
// listing walks the records newest first by it.
inline constexpr const char* kInputDateExpression =
    "(cast(fileinputdtime as integer)*10000"
    " + cast(substr(fileinputdtime, instr(fileinputdtime, '-') + 1) as integer)*100"
    " + cast(substr(substr(fileinputdtime, instr(fileinputdtime, '-') + 1),"
    " instr(substr(fileinputdtime, instr(fileinputdtime, '-') + 1), '-') + 1) as integer))";

// The statements that create an empty catalogue (tables, then indexes).
const std::vector<const char*>& SchemaStatements();
// Statements that bring a catalogue made by an earlier version up to date; each may run
// on every open ("if not exists").
const std::vector<const char*>& SchemaUpgradeStatements();
// The tables and indexes those statements make: when all exist, nothing is run.
const QStringList& SchemaUpgradeNames();

}  // namespace korvel
