#pragma once
// Import filters: six lists of name patterns kept in "./filter.xml".

#include <QString>
#include <QStringList>

namespace korvel {

// Loads the six lists file, dir, index, import, fdn, ffn from "./filter.xml".
void LoadFilterLists();
// The start-up addition of "test" to the `dir` element of the file.
void AddStartupFilterValue();
// Writes a default filter file with all six elements and sensible entries.
bool WriteDefaultFilterFile(const QString& path);

}  // namespace korvel
