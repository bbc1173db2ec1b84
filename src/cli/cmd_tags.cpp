// korvel-cli keyword and group commands: tags, set-tags, add-tags, del-tags, groups,
// ungroup, group-add, group-del and auto-tree, over the same operations as the window.
#include "cli/commands.h"

#include "session/session.h"

#include "autotree/autotree.h"
#include "base/prompter.h"
#include "store/catalogue.h"
#include "tags/keywordcommands.h"
#include "tree/nodes.h"

#include <cstdio>

namespace korvel::cli {
namespace {

// The console prompter, except that every four-answer prompt gets the answer given on the
// command line (none given: the prompt is closed, which keeps the previous answer).
class AnsweringPrompter final : public Prompter {
public:
    // Installed in session s for its life.
    AnsweringPrompter(Session& s, int answer) : session_(s), base_(s.prompter()), answer_(answer) {
        s.SetPrompter(this);
    }
    ~AnsweringPrompter() override { session_.SetPrompter(&base_); }
    void Message(const QString& t, const QString& c, MsgIcon i) override { base_.Message(t, c, i); }
    bool Confirm(const QString& t, const QString& c) override { return base_.Confirm(t, c); }
    bool AskYesNo(const QString& t, const QString& c) override { return base_.AskYesNo(t, c); }
    std::optional<QString> PickNode() override { return base_.PickNode(); }
    std::optional<QString> PickFolder(PickKind kind) override { return base_.PickFolder(kind); }
    std::optional<QStringList> PickFiles(PickKind kind) override { return base_.PickFiles(kind); }
    bool EditDialog(const QString& d, DialogFields& f) override { return base_.EditDialog(d, f); }
    int FourAnswer(const QString& text, int preset) override {
        const int a = answer_ ? answer_ : preset;
        std::fprintf(stderr, "Dialog: %s -> %d\n", text.toUtf8().constData(), a);
        return a;
    }
    bool OpenWithDesktop(const QString& path) override { return base_.OpenWithDesktop(path); }
    void RunLongOperation(LongOperation& op, const std::function<void()>& worker) override {
        base_.RunLongOperation(op, worker);
    }

private:
    Session& session_;
    Prompter& base_;
    int answer_;
};

// --answer yes|all|no|none as 1..4; 0 when absent, -1 when not one of these.
int TakeAnswer(QStringList& args) {
    const QString a = TakeOption(args, QStringLiteral("--answer"));
    if (a.isNull()) return 0;
    const QStringList names = {"yes", "all", "no", "none"};
    const int i = static_cast<int>(names.indexOf(a));
    return i < 0 ? -1 : i + 1;
}

// Fails unless every id names a record (one statement for all of them).
int CheckRecords(Session& s, const QStringList& ids) {
    try {
        Statement st(s.catalogue, QStringLiteral("select 1 from main where id=?"));
        for (const QString& id : ids) {
            bool found = false;
            if (IsIdText(id)) {
                st.Reset();
                st.Bind(1, id.trimmed().toLongLong());
                found = st.Step();
            }
            if (!found) return Fail(QStringLiteral("no record with id %1").arg(id));
        }
    } catch (const DbError& e) {
        return Fail(e.description());
    }
    return 0;
}

int PrintOutcomes(const std::vector<RecordOutcome>& outcomes) {
    for (const RecordOutcome& o : outcomes)
        Out(o.id + u'\t' + (o.applied ? QStringLiteral("applied") : QStringLiteral("skipped")));
    return 0;
}

int RunTags(Session& s, const QStringList& args) {
    if (args.size() != 1) return Fail(QStringLiteral("usage: tags ID"));
    if (int rc = CheckRecords(s, args)) return rc;
    Out(EscapeField(ReadRecordTags(args[0], s.catalogue, s.prompter()).join(u' ')));
    return 0;
}

int RunSetTags(Session& s, const QStringList& args) {
    if (args.isEmpty()) return Fail(QStringLiteral("usage: set-tags ID [TAG...]"));
    if (int rc = CheckRecords(s, {args[0]})) return rc;
    TagList tags;
    for (const QString& a : args.mid(1)) tags << SplitTags(a);
    return WriteRecordTags(args[0], tags, s.catalogue, s.prompter()) ? 0 : 1;
}

int RunChangeTags(Session& s, const QStringList& input, TagChange mode, const char* name) {
    QStringList args = input;
    const int answer = TakeAnswer(args);
    if (answer < 0 || args.size() < 2)
        return Fail(
            QStringLiteral("usage: %1 \"T1 T2\" ID... [--answer yes|all|no|none]").arg(QString::fromLatin1(name)));
    const QStringList ids = args.mid(1);
    if (int rc = CheckRecords(s, ids)) return rc;
    ReloadNodes(s.nodes, s.catalogue, s.prompter());
    AnsweringPrompter p(s, answer);
    return PrintOutcomes(
        ChangeRecordTags(ids, SplitTags(args[0]), mode, NodeTree(s.nodes.map), s.catalogue, s.prompter()));
}

int RunGroups(Session& s, const QStringList& args) {
    if (args.size() != 1) return Fail(QStringLiteral("usage: groups ID"));
    if (int rc = CheckRecords(s, args)) return rc;
    ReloadNodes(s.nodes, s.catalogue, s.prompter());
    const NodeTree tree(s.nodes.map);
    for (const QString& g : GroupsOfTags(ReadRecordTags(args[0], s.catalogue, s.prompter()), tree))
        Out(JoinFields({GroupPathName(g, tree), GroupIdChain(g, tree).join(u' ')}));
    return 0;
}

int RunUngroup(Session& s, const QStringList& args) {
    if (args.size() != 2) return Fail(QStringLiteral("usage: ungroup ID NODE"));
    if (int rc = CheckRecords(s, {args[0]})) return rc;
    if (!KnownNode(s, args[1])) return FailNoNode(args[1]);
    const NodeTree tree(s.nodes.map);
    QStringList others = GroupsOfTags(ReadRecordTags(args[0], s.catalogue, s.prompter()), tree);
    if (others.removeAll(args[1]) == 0)
        return Fail(QStringLiteral("node %1 is not a group of record %2").arg(args[1], args[0]));
    Out(FinishGroupText(UngroupRecord(args[0], args[1], others, tree, s.catalogue, s.prompter())));
    return 0;
}

int RunGroupAdd(Session& s, const QStringList& input) {
    QStringList args = input;
    const int answer = TakeAnswer(args);
    if (answer < 0 || args.size() < 2)
        return Fail(QStringLiteral("usage: group-add NODE ID... [--answer yes|all|no|none]"));
    const QStringList ids = args.mid(1);
    if (int rc = CheckRecords(s, ids)) return rc;
    if (!KnownNode(s, args[0])) return FailNoNode(args[0]);
    AnsweringPrompter p(s, answer);
    return PrintOutcomes(AddRecordsToGroup(ids, args[0], NodeTree(s.nodes.map), s.catalogue, s.prompter()));
}

int RunGroupDel(Session& s, const QStringList& args) {
    if (args.size() < 2) return Fail(QStringLiteral("usage: group-del NODE ID..."));
    const QStringList ids = args.mid(1);
    if (int rc = CheckRecords(s, ids)) return rc;
    if (!KnownNode(s, args[0])) return FailNoNode(args[0]);
    Out(FinishGroupText(RemoveRecordsFromGroup(ids, args[0], NodeTree(s.nodes.map), s.catalogue, s.prompter())));
    return 0;
}

int RunAutoTree(Session& s, const QStringList& args) {
    if (args.size() != 1) return Fail(QStringLiteral("usage: auto-tree NODE"));
    if (!KnownNode(s, args[0])) return FailNoNode(args[0]);
    const int written = AutoCreateNodeTree(args[0], s.nodes.map, s.catalogue, s.prompter());
    if (written < 0) return 1;
    Out(QString::number(written));
    return 0;
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
