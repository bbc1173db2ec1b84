#pragma once
// Snippets of content-search hits: the piece of a record's indexed text around the first
// place where the query's words occur, with every occurrence inside the piece marked.

#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace korvel {

struct ContentSnippet {
    // The piece of text, white space runs shown as one space, "…" where it was cut.
    QString text;
    // Each occurrence of a query word inside text: start and length, in text order.
    std::vector<std::pair<int, int>> marks;
};

// The snippet of text for query (words split at white space), about width characters
// long. A word of letters and digits matches whole words first (letter case aside), any
// place inside a word only when there is no whole-word match; CJK characters match
// wherever they occur. nullopt when no word occurs in text.
std::optional<ContentSnippet> SnippetOfText(const QString& text, const QString& query, int width);

// The snippet of the indexed text of record id ("./index/<id>/text.txt", the content
// index's copy of the record's text; the record's own file is not read). nullopt when the
// record has no indexed text or no word occurs in it.
std::optional<ContentSnippet> RecordContentSnippet(qint64 id, const QString& query, int width);

}  // namespace korvel
