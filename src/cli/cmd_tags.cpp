// korvel-cli keyword and group commands: tags, set-tags, add-tags, del-tags, groups,
// ungroup, group-add, group-del and auto-tree, over the commands of the window's KEY,
// GROUP and NODE menus.
#include "cli/commands.h"

#include "session/session.h"

#include "commands/groupmenu.h"
#include "commands/keymenu.h"
#include "commands/nodemenu.h"
#include "commands/report.h"
#include "store/catalogue.h"
#include "store/idbatch.h"
#include "tree/nodes.h"

#include <QSet>

namespace korvel::cli {
namespace {

// --answer yes|all|no|none as 1..4; 0 when absent, -1 when not one of these.
int TakeAnswer(QStringList& args) {
    const QString a = TakeOption(args, QStringLiteral("--answer"));
    if (a.isNull()) return 0;
    const QStringList names = {"yes", "all", "no", "none"};
    const int i = static_cast<int>(names.indexOf(a));
    return i < 0 ? -1 : i + 1;
}

// Refused unless every id names a record: the ids are looked up in batches with one
// statement (RecordsById), and the first id in the order given that names no record is
// reported.
bool RecordsExist(Session& s, const QStringList& ids) {
    try {
        std::vector<qint64> numbers;
        numbers.reserve(static_cast<size_t>(ids.size()));
        for (const QString& id : ids)
            if (IsIdText(id)) numbers.push_back(id.trimmed().toLongLong());
        QSet<qint64> found;
        RecordsById(s.catalogue, QStringLiteral("id")).Read(numbers, 0, numbers.size(), [&found](Statement& st) {
            found.insert(st.Column(0).toLongLong());
        });
        for (const QString& id : ids)
            if (!IsIdText(id) || !found.contains(id.trimmed().toLongLong())) {
                Fail(QStringLiteral("no record with id %1").arg(id));
                return false;
            }
    } catch (const DbError& e) {
        Fail(e.description());
        return false;
    }
    return true;
}

Outcome PrintOutcomes(const TagBatchResult& r, const Outcome& outcome) {
    for (const RecordOutcome& o : r.outcomes)
        Out(o.id + u'\t' + (o.applied ? QStringLiteral("applied") : QStringLiteral("skipped")));
    return outcome;
}

// The tags of a record; nullopt after a reported database error.
std::optional<TagList> RecordTags(Session& s, const QString& id) {
    try {
        return FindRecordTags(id, s.catalogue).value_or(TagList());
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
        return std::nullopt;
    }
}

Outcome RunTags(Session& s, const QStringList& args) {
    if (args.size() != 1) return Refuse(QStringLiteral("usage: tags ID"));
    if (!RecordsExist(s, args)) return Outcome::Refusal();
    const std::optional<TagList> tags = RecordTags(s, args[0]);
    if (!tags) return Outcome::Failure();
    Out(EscapeField(tags->join(u' ')));
    return Outcome::Finished(0);
}

// SHOW (keywords) with the list given.
Outcome RunSetTags(Session& s, const QStringList& args) {
    if (args.isEmpty()) return Refuse(QStringLiteral("usage: set-tags ID [TAG...]"));
    if (!RecordsExist(s, {args[0]})) return Outcome::Refusal();
    TagList tags;
    for (const QString& a : args.mid(1)) tags << SplitTags(a);
    return ShowKeywordsCommand(s, {args[0]}, tags);
}

// ADD or DEL (keywords) with the tags given; the four-answer prompt gets --answer.
Outcome RunChangeTags(Session& s, const QStringList& input, TagChange mode, const char* name) {
    QStringList args = input;
    const int answer = TakeAnswer(args);
    if (answer < 0 || args.size() < 2)
        return Refuse(
            QStringLiteral("usage: %1 \"T1 T2\" ID... [--answer yes|all|no|none]").arg(QString::fromLatin1(name)));
    const QStringList ids = args.mid(1);
    if (!RecordsExist(s, ids)) return Outcome::Refusal();
    RefreshNodeCommand(s);
    CliPrompter p(s, answer);
    TagBatchResult r;
    const Outcome outcome =
        mode == TagChange::Add ? AddKeywordsCommand(s, ids, args[0], &r) : DeleteKeywordsCommand(s, ids, args[0], &r);
    return PrintOutcomes(r, outcome);
}

Outcome RunGroups(Session& s, const QStringList& args) {
    if (args.size() != 1) return Refuse(QStringLiteral("usage: groups ID"));
    if (!RecordsExist(s, args)) return Outcome::Refusal();
    RefreshNodeCommand(s);
    const std::optional<TagList> tags = RecordTags(s, args[0]);
    if (!tags) return Outcome::Failure();
    const NodeTree tree(s.nodes.map);
    for (const QString& g : GroupsOfTags(*tags, tree))
        Out(JoinFields({GroupPathName(g, tree), GroupIdChain(g, tree).join(u' ')}));
    return Outcome::Finished(0);
}

// UNGROUP of one of the record's groups; "finish group N" as the window shows it.
Outcome RunUngroup(Session& s, const QStringList& args) {
    if (args.size() != 2) return Refuse(QStringLiteral("usage: ungroup ID NODE"));
    if (!RecordsExist(s, {args[0]})) return Outcome::Refusal();
    if (!KnownNode(s, args[1])) {
        FailNoNode(args[1]);
        return Outcome::Refusal();
    }
    int count = 0;
    const Outcome outcome = UngroupCommand(s, args[0], args[1], &count);
    if (outcome.kind == Outcome::Kind::Refused)
        return Refuse(QStringLiteral("node %1 is not a group of record %2").arg(args[1], args[0]));
    Out(FinishGroupText(count));
    return outcome;
}

// ADD REC TO G with the node given; the four-answer prompt gets --answer.
Outcome RunGroupAdd(Session& s, const QStringList& input) {
    QStringList args = input;
    const int answer = TakeAnswer(args);
    if (answer < 0 || args.size() < 2)
        return Refuse(QStringLiteral("usage: group-add NODE ID... [--answer yes|all|no|none]"));
    const QStringList ids = args.mid(1);
    if (!RecordsExist(s, ids)) return Outcome::Refusal();
    if (!KnownNode(s, args[0])) {
        FailNoNode(args[0]);
        return Outcome::Refusal();
    }
    CliPrompter p(s, answer);
    TagBatchResult r;
    const Outcome outcome = AddToGroupCommand(s, ids, args[0], &r);
    return PrintOutcomes(r, outcome);
}

// DEL REC FROM G with the node given; "finish group N" as the window shows it.
Outcome RunGroupDel(Session& s, const QStringList& args) {
    if (args.size() < 2) return Refuse(QStringLiteral("usage: group-del NODE ID..."));
    const QStringList ids = args.mid(1);
    if (!RecordsExist(s, ids)) return Outcome::Refusal();
    if (!KnownNode(s, args[0])) {
        FailNoNode(args[0]);
        return Outcome::Refusal();
    }
    int count = 0;
    const Outcome outcome = RemoveFromGroupCommand(s, ids, args[0], &count);
    Out(FinishGroupText(count));
    return outcome;
}

// AUTO CREATE NODE TREE below the node; the number of nodes written is printed.
Outcome RunAutoTree(Session& s, const QStringList& args) {
    if (args.size() != 1) return Refuse(QStringLiteral("usage: auto-tree NODE"));
    if (!KnownNode(s, args[0])) {
        FailNoNode(args[0]);
        return Outcome::Refusal();
    }
    const Outcome outcome = AutoCreateNodeTreeCommand(s, args[0]);
    if (outcome.kind == Outcome::Kind::Done) Out(QString::number(outcome.done));
    return outcome;
}

CliRegistrar tags({QStringLiteral("tags"), QStringLiteral("tags ID"), true, RunTags});
CliRegistrar setTags({QStringLiteral("set-tags"), QStringLiteral("set-tags ID [TAG...]"), true, RunSetTags});
CliRegistrar addTags({QStringLiteral("add-tags"), QStringLiteral("add-tags \"T1 T2\" ID... [--answer yes|all|no|none]"),
                      true, [](Session& s, const QStringList& a) {
                          return RunChangeTags(s, a, TagChange::Add, "add-tags");
                      }});
CliRegistrar delTags({QStringLiteral("del-tags"), QStringLiteral("del-tags \"T1 T2\" ID... [--answer yes|all|no|none]"),
                      true, [](Session& s, const QStringList& a) {
                          return RunChangeTags(s, a, TagChange::Remove, "del-tags");
                      }});
CliRegistrar groups({QStringLiteral("groups"), QStringLiteral("groups ID"), true, RunGroups});
CliRegistrar ungroup({QStringLiteral("ungroup"), QStringLiteral("ungroup ID NODE"), true, RunUngroup});
CliRegistrar groupAdd({QStringLiteral("group-add"), QStringLiteral("group-add NODE ID... [--answer yes|all|no|none]"),
                       true, RunGroupAdd});
CliRegistrar groupDel({QStringLiteral("group-del"), QStringLiteral("group-del NODE ID..."), true, RunGroupDel});
CliRegistrar autoTree({QStringLiteral("auto-tree"), QStringLiteral("auto-tree NODE"), true, RunAutoTree});

}  // namespace
}  // namespace korvel::cli
