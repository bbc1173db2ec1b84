#pragma once
// Tag texts: tags separated by blanks. A record's tag text (main.findkey) has blanks
// before the first and after the last tag; a tag matches as "% tag %".

#include <QString>
#include <QStringList>

#include <map>

namespace korvel {

// Splits text at sep. Empty pieces are dropped when skip is set, else replaced by fill.
QStringList SplitText(const QString& text, const QString& sep, bool skip, const QString& fill);

// Tag -> number of occurrences, ordered by tag (UTF-16 code units).
std::map<QString, int> TagCounts(const QString& tagText);

// Sorted distinct tags.
QStringList DistinctTags(const QString& tagText);

// "where  ( findkey like '% a %' ) and  ( findkey like '% b %' )"; empty for no tags.
// Quotes inside tags are doubled so that the statement stays valid. Any number of tags
// makes a valid statement (long chains are grouped in parentheses).
QString NodeWhereClause(const QString& tagText);
// The same condition without "where ": " ( findkey like '% a %' ) and ...".
QString NodeCondition(const QString& tagText);

}  // namespace korvel
