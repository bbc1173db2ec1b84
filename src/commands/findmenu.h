#pragma once
// The commands of the FIND menu (ADVANCE, CONTENT) and the search box's content search:
// the searches run on the session's catalogue and their results shown in its listing.

#include "search/advancedsearch.h"
#include "search/contentsearch.h"
#include "session/outcome.h"

#include <QString>

#include <optional>

namespace korvel {

class Session;

// The keywords button of the advanced search: the node picker; the all tags of the
// confirmed node, or nothing when the picker was cancelled or closed without a node.
std::optional<QString> PickNodeKeywords(Session& s);

// Runs the advanced search and shows its page 1 in the session's listing (the content
// ranking under the progress dialog). Refused (after saying why) when the content text
// cannot be searched; failed when the records could not be read or listed (the user was
// told). done: the records found, when the count is known.
Outcome RunAdvancedSearch(Session& s, const AdvancedSearchFields& fields);

// "高级查找(ADVANCE)": searchdialog (when no fields are given), then RunAdvancedSearch.
// Cancel leaves the list as it was (refused).
Outcome AdvancedSearchCommand(Session& s, const std::optional<AdvancedSearchFields>& given = std::nullopt);

// Ranks every indexed record of the session's catalogue for query under the progress
// dialog (ContentResultListing lists the hits; their names and folders are not read).
// nullopt, after saying why, when the query cannot be searched; a failed read of the
// catalogue has been reported (result.error).
std::optional<ContentRunResult> RunContentSearch(Session& s, const QString& query);

// "内容搜索(CONTENT)": the dialog indexdialog, the run under the progress dialog, then the
// record list on the result (or, after a stop, page 1 of what it listed before). done: the
// hits found.
Outcome ContentSearchCommand(Session& s);

}  // namespace korvel
