#pragma once
// Import filters: six lists of name patterns kept in "./filter.xml" as top-level
// elements file, dir, index, import, fdn, ffn, each holding `value` children.

#include "base/filterlists.h"

#include <QString>
#include <QStringList>

namespace korvel {

// The filter file, relative to the working directory.
inline const QString kFilterFile = QStringLiteral("./filter.xml");

// The element edited by the filter dialog in a mode: 0 file, 1 dir, 5 import, 7 fdn,
// 8 ffn, anything else index.
QString FilterElementOfMode(int mode);

// True when any entry matches name: an entry without "*" must equal the name; an entry
// with "*" matches names ending with the text after its first "*". Case-sensitive.
bool MatchesFilterList(const QString& name, const QStringList& list);

// The rule of the folder walks for one name: with the filter flag on, a name matching
// skipList is left out; with it off, every name not matching onlyList is left out
// (files: `file` / `ffn`, folders: `dir` / `fdn`).
bool FilteredOut(const QString& name, bool filterFlagOn, const QStringList& skipList, const QStringList& onlyList);

// Loads the six lists from "./filter.xml" (missing or broken file: empty lists).
void LoadFilterLists(FilterLists& lists);
// Adds/removes an entry in the file and the in-memory list.
void AddFilterValue(FilterLists& lists, const QString& element, const QString& text);
void RemoveFilterValue(FilterLists& lists, const QString& element, const QString& text);
// The start-up addition of "test" to the `dir` element of the file.
void AddStartupFilterValue();
// Writes a default filter file with all six elements and sensible entries.
bool WriteDefaultFilterFile(const QString& path);

}  // namespace korvel
