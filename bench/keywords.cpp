// Keyword benchmark: a catalogue of N records (default 100,000) with 3 to 6 tags each from
// a vocabulary of 2,000 (every record also carries "all") and a node tree of 1,000 nodes.
//
//   1. Groups: the in-memory walk against a walk with one child query per visited node,
//      on a sample of records (same results required), time per record.
//   2. ADD of two tags, with the group check, to 10,000 selected records, in the core and
//      through korvel-cli add-tags, each against the engine's own
//      "update main set findkey=findkey||' x ' where id in (...)" of the same records,
//      three rounds interleaved (min and median of wall and processor seconds). korvel-cli
//      is also set against that update run by a process of its own, which starts and
//      opens the catalogue (its key derivation included) as korvel-cli does.
//   3. AUTO CREATE NODE TREE on a node showing all N records (after the ADD rounds): time
//      and the peak memory of the process (reset before the run where the kernel allows).
//
//   bench_keywords [N]
//
// The catalogue is generated once per N under /tmp/korvel-bench-keywords-N and copied
// afresh for every run.

#include "benchutil.h"
#include "autotree/autotree.h"
#include "benchutil.h"
#include "session/session.h"
#include "base/prompter.h"
#include "store/catalogue.h"
#include "tags/tagbatch.h"
#include "tree/nodes.h"
#include "tree/tags.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>

using namespace korvel;

namespace {

const int kVocabulary = 2000;
const int kNodes = 1000;

QString TagName(int i) { return QStringLiteral("tag%1").arg(i, 4, 10, QChar(u'0')); }

int PickTag(std::mt19937_64& rng) {
    double u = std::uniform_real_distribution<double>(0.0, 1.0)(rng);
    return std::min(kVocabulary - 1, static_cast<int>(kVocabulary * u * u * u));
}

double Seconds(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e9; }

// Answers every four-answer prompt with YES TO ALL; everything else declined.
class BenchPrompter final : public DecliningPrompter {
public:
    int fourAnswers = 0;
    void Message(const QString& t, const QString&, MsgIcon) override {
        std::fprintf(stderr, "message: %s\n", t.toUtf8().constData());
    }
    int FourAnswer(const QString&, int) override {
        ++fourAnswers;
        return 2;
    }
};

void Generate(qint64 n) {
    CreateCatalogue(QStringLiteral("pristine.kdb"));
    Connection conn;
    conn.Open(ConnectionStringFor(QStringLiteral("pristine.kdb")));
    std::mt19937_64 rng(7);
    WriteTransaction tx(conn);
    Statement ins(conn, QStringLiteral("insert into main(name, findkey, dir, id) values(?,?,?,?)"));
    for (qint64 id = 1; id <= n; ++id) {
        const int count = std::uniform_int_distribution<int>(3, 6)(rng);
        std::vector<int> tags;
        while (static_cast<int>(tags.size()) < count) {
            const int t = PickTag(rng);
            if (std::find(tags.begin(), tags.end(), t) == tags.end()) tags.push_back(t);
        }
        QString findkey = QStringLiteral(" all ");
        for (int t : tags) findkey += TagName(t) + u' ';
        findkey += u' ';
        ins.Reset();
        ins.Bind(1, QStringLiteral("file%1.pdf").arg(id));
        ins.Bind(2, findkey);
        ins.Bind(3, QStringLiteral("/data/docs/file%1.pdf").arg(id));
        ins.Bind(4, id);
        ins.Step();
    }
    // 1,000 nodes: 40 top-level nodes with a popular tag each, 8 children under each with
    // a tag of their own, grandchildren under the first children until there are 999; and
    // node 1000, "All", showing every record.
    Statement node(conn, QStringLiteral("insert into main2(id, name, findkey, fid) values(?,?,?,?)"));
    int next = 1;
    auto add = [&](const QString& tags, int parent) {
        node.Reset();
        node.Bind(1, next);
        node.Bind(2, QStringLiteral("node %1").arg(next));
        node.Bind(3, tags);
        node.Bind(4, parent);
        node.Step();
        return next++;
    };
    int tag = 40;
    std::vector<int> kids;
    for (int i = 0; i < 40; ++i) {
        const int top = add(TagName(i), 0);
        for (int j = 0; j < 8; ++j) kids.push_back(add(TagName(tag++ % kVocabulary), top));
    }
    for (size_t k = 0; next < kNodes; k = (k + 1) % kids.size()) add(TagName(tag++ % kVocabulary), kids[k]);
    add(QStringLiteral("all"), 0);
    tx.Commit();
}

// The walk with one child query per visited matching node.
bool QueryWalk(const QString& node, const std::map<QString, int>& text, QStringList& out) {
    for (const auto& [t, c] : TagCounts(NodeAllTags(node, S().nodes.map))) {
        auto it = text.find(t);
        if (it == text.end() || it->second < c) return false;
    }
    bool childMatched = false;
    for (const QString& kid : ChildNodeIds(node, S().catalogue))
        if (QueryWalk(kid, text, out)) childMatched = true;
    if (!childMatched) out << node;
    return true;
}

using bench::StatusKb;

void ResetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The baseline process: opens the catalogue of the folder and runs one statement.
    if (argc == 4 && std::strcmp(argv[1], "--engine-update") == 0) {
        QDir::setCurrent(QString::fromLocal8Bit(argv[2]));
        Connection conn;
        conn.Open(kConnectionString);
        ExecuteSql(QString::fromUtf8(argv[3]), adCmdTextNoRecords, conn);
        return 0;
    }
    const qint64 n = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 100000;
    if (n < 10000) {
        std::fprintf(stderr, "usage: bench_keywords [N >= 10000]\n");
        return 1;
    }
    const QString folder = QStringLiteral("/tmp/korvel-bench-keywords-%1").arg(n);
    QDir().mkpath(folder);
    QDir::setCurrent(folder);
    if (!QFile::exists(QStringLiteral("ready"))) {
        QFile::remove(QStringLiteral("pristine.kdb"));
        QElapsedTimer t;
        t.start();
        Generate(n);
        QFile ready(QStringLiteral("ready"));
        ready.open(QIODevice::WriteOnly);
        std::printf("generated %lld records and %d nodes in %.1f s\n", n, kNodes, Seconds(t));
    }
    for (const char* f : {"kv.kdb", "kv.kdb-wal", "kv.kdb-shm"}) QFile::remove(QString::fromLatin1(f));
    QFile::copy(QStringLiteral("pristine.kdb"), QStringLiteral("kv.kdb"));
    S().catalogue.Open(kConnectionString);
    ReloadNodes(S().nodes, S().catalogue);
    BenchPrompter prompts;
    S().SetPrompter(&prompts);
    std::printf("catalogue %s/kv.kdb: %lld records, %zu nodes (root included)\n", folder.toUtf8().constData(), n,
                S().nodes.map.size());

    // 1. Groups: in memory against one query per visited node.
    {
        QElapsedTimer t;
        t.start();
        const NodeTree tree(S().nodes.map);
        const double build = Seconds(t);
        const int sample = 2000;
        std::vector<std::map<QString, int>> texts;
        Statement st(S().catalogue, QStringLiteral("select findkey from main where id=?"));
        for (int i = 0; i < sample; ++i) {
            st.Reset();
            st.Bind(1, 1 + static_cast<qint64>(i) * (n / sample));
            st.Step();
            texts.push_back(TagCounts(TextOrEmpty(st.Column(0))));
        }
        std::vector<QStringList> mem(sample), query(sample);
        t.start();
        for (int i = 0; i < sample; ++i) {
            QStringList tags;
            for (const auto& [k, c] : texts[i])
                for (int j = 0; j < c; ++j) tags << k;
            mem[i] = GroupsOfTags(tags, tree);
        }
        const double memTime = Seconds(t);
        t.start();
        for (int i = 0; i < sample; ++i) QueryWalk(QStringLiteral("0"), texts[i], query[i]);
        const double queryTime = Seconds(t);
        int same = 0;
        for (int i = 0; i < sample; ++i) same += mem[i] == query[i];
        std::printf(
            "groups of %d records: node tree built in %.2f ms; in memory %.2f us/record, "
            "one query per node %.2f us/record (%.0fx); same results %d/%d\n",
            sample, build * 1e3, memTime / sample * 1e6, queryTime / sample * 1e6, queryTime / memTime, same, sample);
    }

    // 2. ADD of two tags to 10,000 records against the engine's own update, alternating.
    {
        QStringList ids;
        std::mt19937_64 rng(11);
        std::vector<qint64> all(n);
        for (qint64 i = 0; i < n; ++i) all[i] = i + 1;
        std::shuffle(all.begin(), all.end(), rng);
        std::sort(all.begin(), all.begin() + 10000);
        for (int i = 0; i < 10000; ++i) ids << QString::number(all[i]);
        const QString inList = ids.join(u',');
        // tag0005 and tag0045: a top-level node's tag and one of its children's, so many
        // records change groups and the prompt is answered once (YES TO ALL).
        const TagList given = {TagName(5), TagName(45)};
        bench::Series engine, ours, cliEngine, cli, processEngine;
        prompts.fourAnswers = 0;
        int applied = 0;
        const std::string cliCommand = std::string("'") + KORVEL_CLI + "' --dir '" + folder.toStdString() +
                                       "' add-tags '" + TagName(5).toStdString() + " " + TagName(45).toStdString() +
                                       "' " + ids.join(u' ').toStdString() + " --answer all > /dev/null 2>&1";
        const QString updateSql =
            QStringLiteral("update main set findkey=findkey||' x ' where id in (") + inList + u')';
        auto engineUpdate = [&] { ExecuteSql(updateSql, adCmdTextNoRecords, S().catalogue); };
        const std::string processCommand = std::string("'") + QCoreApplication::applicationFilePath().toStdString() +
                                           "' --engine-update '" + folder.toStdString() + "' \"" +
                                           updateSql.toStdString() + "\" > /dev/null 2>&1";
        for (int round = 0; round < 3; ++round) {
            engine.Add(bench::Time(engineUpdate));
            ours.Add(bench::Time([&] {
                const NodeTree tree(S().nodes.map);
                const TagBatchResult out =
                    ChangeRecordTags(ids, given, TagChange::Add, tree, S().catalogue,
                                     [&](const QString& text, int preset) { return prompts.FourAnswer(text, preset); });
                applied = static_cast<int>(out.Applied());
            }));
            cliEngine.Add(bench::Time(engineUpdate));
            cli.Add(bench::Time([&] { std::system(cliCommand.c_str()); }, RUSAGE_CHILDREN));
            processEngine.Add(bench::Time([&] { std::system(processCommand.c_str()); }, RUSAGE_CHILDREN));
        }
        std::printf("ADD of 2 tags to 10,000 records: %d applied, %d prompt(s) in the 3 rounds; %s\n", applied,
                    prompts.fourAnswers, bench::LoadText().c_str());
        bench::PrintRow("ChangeRecordTags", ours, "engine update", engine);
        bench::PrintRow("korvel-cli add-tags", cli, "engine update", cliEngine);
        bench::PrintRow("korvel-cli add-tags", cli, "process update", processEngine);
    }

    // 3. AUTO CREATE NODE TREE on the node showing every record.
    {
        const QString allNode = QString::number(kNodes);
        qint64 before = 0;
        {
            Recordset rs = ExecuteSql(QStringLiteral("select count(*) from main2"), adCmdText, S().catalogue);
            before = rs.Field(0).toLongLong();
        }
        const qint64 inner = InnerRecordIds(allNode, S().nodes.map, S().catalogue).size();
        const long rssBefore = StatusKb("VmRSS:");
        ResetPeak();
        QElapsedTimer t;
        t.start();
        const int written = AutoCreateNodeTree(allNode, S().nodes.map, S().catalogue);
        const double secs = Seconds(t);
        const long peak = StatusKb("VmHWM:");
        std::printf(
            "AUTO CREATE NODE TREE on node %s (%lld records): %.3f s%s, %d nodes written "
            "(%lld before); peak RSS of the process %.1f MB (%.1f MB before the run)%s\n",
            allNode.toUtf8().constData(), inner, secs, secs > 3 ? "   ABOVE 3 s" : "", written, before, peak / 1024.0,
            rssBefore / 1024.0, peak > 200 * 1024 ? "   ABOVE 200 MB" : "");
    }
    S().SetPrompter(nullptr);
    bench::PrintMachine();
    S().catalogue.Close();

    return 0;
}
