// korvel-cli nodes / add-node: the node tree as text, and a new node.
#include "cli/commands.h"

#include "session/session.h"

#include "commands/nodemenu.h"
#include "commands/report.h"
#include "store/catalogue.h"
#include "tree/nodes.h"

#include <algorithm>
#include <functional>
#include <set>

namespace korvel::cli {
namespace {

// Depth first from the root; the children of a node in the order the tree view shows
// them once expanded: sorted by label (plain code-unit comparison, ties by id order). A
// node whose children cannot be read is printed without them, and the command fails.
Outcome RunNodes(Session& s, const QStringList& args) {
    if (!args.isEmpty()) return Refuse(QStringLiteral("usage: nodes"));
    Outcome outcome = RefreshNodeCommand(s);
    std::set<QString> shown;
    std::function<void(const QString&, int)> print = [&](const QString& id, int depth) {
        if (!shown.insert(id).second) return;  // a loop in main2 is printed once
        const NodeEntry& e = s.nodes.map[id];
        Out(QString(depth * 2, u' ') + JoinFields({id, e.name, e.tags}));
        QStringList kids;
        try {
            kids = ChildNodeIds(id, s.catalogue);
        } catch (const DbError& e) {
            ReportDbError(s.prompter(), e);
            outcome = Outcome::Failure();
        }
        std::stable_sort(kids.begin(), kids.end(), [&s](const QString& a, const QString& b) {
            return s.nodes.map[a].name < s.nodes.map[b].name;
        });
        for (const QString& kid : kids) print(kid, depth + 1);
    };
    print(QStringLiteral("0"), 0);
    return outcome;
}

// ADD NODE with the values given; the new node's id is printed.
Outcome RunAddNode(Session& s, const QStringList& args) {
    if (args.size() < 2 || args.size() > 3) return Refuse(QStringLiteral("usage: add-node PARENT NAME [TAGS]"));
    const QString parent = args[0];
    const QString name = args[1];
    const QString tags = args.size() > 2 ? args[2] : name;
    if (name.isEmpty()) return Refuse(QStringLiteral("the node name is empty"));
    if (!KnownNode(s, parent)) {
        FailNoNode(parent);
        return Outcome::Refusal();
    }
    QString id;
    Outcome outcome;
    {
        CliPrompter errors(s, 0, QStringLiteral("the node could not be added: "));
        outcome = AddNodeCommand(s, parent, NodeValues{name, tags}, &id);
    }
    if (outcome.kind == Outcome::Kind::Done) Out(id);
    return outcome;
}

CliRegistrar nodes({QStringLiteral("nodes"), QStringLiteral("nodes"), true, RunNodes});
CliRegistrar addNode({QStringLiteral("add-node"), QStringLiteral("add-node PARENT NAME [TAGS]"), true, RunAddNode});

}  // namespace
}  // namespace korvel::cli
