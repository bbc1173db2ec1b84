#include "commands/keymenu.h"

#include "base/dialogs.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "commands/report.h"
#include "session/session.h"

namespace korvel {

namespace {

// ADD and DEL: the tags, then the batch over every record.
Outcome KeywordBatch(Session& s, const QStringList& ids, TagChange mode, const std::optional<QString>& tags,
                     TagBatchResult* detail) {
    if (ids.isEmpty()) return Outcome::Refusal();
    QString text;
    if (tags) {
        text = *tags;
    } else {
        DialogFields f{{dlg::kText, QString()}};
        if (!s.prompter().EditDialog(dlg::kBatchKeys, f)) return Outcome::Refusal();
        text = f.value(dlg::kText).toString();
    }
    const TagList given = SplitTags(text);
    const NodeTree tree(s.nodes.map);
    const FourAnswerQuestion ask = AskUser(s);
    TagBatchResult r;
    RunTagBatch(
        s, ids.size(),
        [&](const ProgressReport& report) { r = ChangeRecordTags(ids, given, mode, tree, s.catalogue, ask, report); },
        [&] { return AppliedSummary(r); });
    return FinishTagBatch(s, r, detail);
}

}  // namespace

void RunTagBatch(Session& s, qsizetype count, const std::function<void(const ProgressReport&)>& work,
                 const std::function<QString()>& summary) {
    LongOperation& op = s.ops.batch;
    const ProgressReport report = [&op](qint64 done, qint64 total, const QString& item) {
        op.ReportProgress(done, total, item);
    };
    if (count <= kLongTagChange) {
        work(report);
        return;
    }
    op.Start();
    s.prompter().RunLongOperation(op, [&] {
        work(report);
        op.Post(summary());
    });
}

QString AppliedSummary(const TagBatchResult& r) {
    return QStringLiteral("finish %1 / %2").arg(r.Applied()).arg(r.outcomes.size());
}

Outcome FinishTagBatch(Session& s, const TagBatchResult& r, TagBatchResult* detail) {
    if (r.error) ReportDbError(s.prompter(), *r.error);
    const Outcome outcome = OutcomeOf(r);
    if (outcome.Changed()) s.list.Refresh();
    if (detail) *detail = r;
    return outcome;
}

FourAnswerQuestion AskUser(Session& s) {
    return [&s](const QString& text, int preset) { return s.prompter().FourAnswer(text, preset); };
}

Outcome OutcomeOf(const TagBatchResult& r) {
    if (r.error) return Outcome::Failure();
    return Outcome::Finished(r.Applied());
}

Outcome ShowKeywordsCommand(Session& s, const QStringList& ids, const std::optional<TagList>& tags) {
    if (ids.isEmpty()) return Outcome::Refusal();
    const QString id = ids.first();
    TagList next;
    bool stored = false;
    try {
        if (tags) {
            next = *tags;
        } else {
            DialogFields f{{dlg::kTagList, FindRecordTags(id, s.catalogue).value_or(TagList())}, {dlg::kRecordId, id}};
            if (!s.prompter().EditDialog(dlg::kRecordKeys, f)) return Outcome::Refusal();
            // The list as the dialog left it, in list order; stored also when nothing changed.
            for (const QString& t : f.value(dlg::kTagList).toStringList()) next << SplitTags(t);
        }
        stored = WriteRecordTags(id, next, s.catalogue);
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
        return Outcome::Failure();
    }
    // Listed again also when the record has gone meanwhile: it leaves the listing.
    s.list.Refresh();
    return Outcome::Finished(stored ? 1 : 0);
}

Outcome AddKeywordsCommand(Session& s, const QStringList& ids, const std::optional<QString>& tags,
                           TagBatchResult* detail) {
    return KeywordBatch(s, ids, TagChange::Add, tags, detail);
}

Outcome DeleteKeywordsCommand(Session& s, const QStringList& ids, const std::optional<QString>& tags,
                              TagBatchResult* detail) {
    return KeywordBatch(s, ids, TagChange::Remove, tags, detail);
}

}  // namespace korvel
