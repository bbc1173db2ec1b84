#pragma once
// The commands of the KEY menu (SHOW, ADD, DEL): the keywords of the records selected in
// the list pane. `ids` are their record ids in list order (SHOW acts on the first). Each
// asks the user only through the session's prompter, refreshes the listing when it
// changed a record, and returns what it came to; a database error is reported and fails
// the command with nothing stored.

#include "session/outcome.h"
#include "tags/tagbatch.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace korvel {

class Session;

// Changes of more records than this run under the progress dialog, off the window's
// thread (a few thousand records take a noticeable time to read and write).
inline constexpr int kLongTagChange = 500;

// What a tag batch came to: failed (a database error; nothing stored), else done with the
// records changed (a record skipped after a NO is no failure: the user chose it).
Outcome OutcomeOf(const TagBatchResult& r);

// The question the batches ask for a record whose groups would change: the session's
// four-answer prompt.
FourAnswerQuestion AskUser(Session& s);

// Runs a tag batch over `count` records: from kLongTagChange records on under the progress
// dialog of the session's batch operation (which then ends with summary()), else in place.
// work is given the progress report of that operation.
void RunTagBatch(Session& s, qsizetype count, const std::function<void(const ProgressReport&)>& work,
                 const std::function<QString()>& summary);
// "finish %d / %d": the records applied of those looked at, the text a long batch ends with.
QString AppliedSummary(const TagBatchResult& r);
// The end of a tag batch: a database error reported, the listing refreshed when records
// changed, `detail` (when given) filled; the outcome.
Outcome FinishTagBatch(Session& s, const TagBatchResult& r, TagBatchResult* detail);

// SHOW: the record's keywords in their dialog (CKeyDlg); OK stores the list as the dialog
// left it. With `tags` given no dialog is shown and they are stored. Refused without a
// record or when cancelled; a record that does not exist is left alone.
Outcome ShowKeywordsCommand(Session& s, const QStringList& ids, const std::optional<TagList>& tags = std::nullopt);
// ADD and DEL: the tags typed in their dialog (alldialog), or `tags` when given, added to
// or removed from every record (ChangeRecordTags, asking about group changes). `detail`
// (when given) receives what was done with each record.
Outcome AddKeywordsCommand(Session& s, const QStringList& ids, const std::optional<QString>& tags = std::nullopt,
                           TagBatchResult* detail = nullptr);
Outcome DeleteKeywordsCommand(Session& s, const QStringList& ids, const std::optional<QString>& tags = std::nullopt,
                              TagBatchResult* detail = nullptr);

}  // namespace korvel
