// Listing benchmark: a catalogue of N records (default 1,000,000) with 3 to 6 tags each
// from a vocabulary of 2,000 and a node tree of a few hundred nodes; for the root, a
// one-tag node and a two-tag node it times page 1 in both listing modes (the page count
// made on a worker, as the window does), the time until the page count is known, the last
// page, a header sort and InnerRecordIds, each beside the engine's own count(*) over the
// same WHERE clause, and prints the peak memory.
//
//   bench_listing [N]
//
// The catalogue is made once per N under /tmp/korvel-bench-listing-N and reused.

#include "base/settings.h"
#include "benchutil.h"
#include "session/session.h"
#include "list/recordlist.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "tree/nodes.h"
#include "tree/tags.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <random>

using namespace korvel;

namespace {

const int kVocabulary = 2000;

QString TagName(int i) { return QStringLiteral("tag%1").arg(i, 4, 10, QChar(u'0')); }

// Skewed choice: tag 0 is on about 8% of the records, the last tags on very few.
int PickTag(std::mt19937_64& rng) {
    double u = std::uniform_real_distribution<double>(0.0, 1.0)(rng);
    return std::min(kVocabulary - 1, static_cast<int>(kVocabulary * u * u * u));
}

void Generate(qint64 n) {
    CreateCatalogue(QStringLiteral("kv.kdb"));
    S().catalogue.Open(kConnectionString);
    std::mt19937_64 rng(42);
    S().catalogue.Begin();
    Statement ins(S().catalogue.handle(), QStringLiteral(
        "insert into main(name, findkey, dir, id, filetype, filesize, filedtime, fileinputdtime, vol) "
        "values(?,?,?,?,?,?,?,?,?)"));
    for (qint64 id = 1; id <= n; ++id) {
        int count = std::uniform_int_distribution<int>(3, 6)(rng);
        std::vector<int> tags;
        while (static_cast<int>(tags.size()) < count) {
            int t = PickTag(rng);
            if (std::find(tags.begin(), tags.end(), t) == tags.end()) tags.push_back(t);
        }
        QString findkey = QStringLiteral(" ");
        for (int t : tags) findkey += TagName(t) + u' ';
        findkey += u' ';  // as import stores it: one blank before, two after
        quint64 r = rng();
        QString name = QStringLiteral("file%1.pdf").arg(r % 10000000, 7, 10, QChar(u'0'));
        int day = static_cast<int>(id * 3650 / n);
        ins.Reset();
        ins.Bind(1, name);
        ins.Bind(2, findkey);
        ins.Bind(3, QStringLiteral("/data/docs/d%1/").arg(r % 1000) + name);
        ins.Bind(4, id);
        ins.Bind(5, QStringLiteral("文件"));
        ins.Bind(6, QStringLiteral("%1 K").arg(r % 5000));
        ins.Bind(7, QStringLiteral("2015-01-01 10:00:00"));
        ins.Bind(8, QStringLiteral("%1-%2-%3 %4:%5:%6")
                        .arg(2015 + day / 365).arg(day % 365 / 31 + 1).arg(day % 31 + 1)
                        .arg(r % 24).arg(r / 24 % 60).arg(r / 1440 % 60));
        ins.Bind(9, QStringLiteral("305419896"));
        ins.Step();
    }
    ins = Statement();
    // Nodes: 20 top-level nodes with one popular tag each, 10 children under each with
    // a tag of their own, and a grandchild under every second child: 320 nodes.
    Statement node(S().catalogue.handle(),
                   QStringLiteral("insert into main2(id, name, findkey, fid) values(?,?,?,?)"));
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
    int tag = 20;
    for (int i = 0; i < 20; ++i) {
        int top = add(TagName(i), 0);
        for (int j = 0; j < 10; ++j) {
            int kid = add(TagName(tag++), top);
            if (j % 2 == 0) add(TagName(tag++), kid);
        }
    }
    node = Statement();
    S().catalogue.Commit();
    S().catalogue.Close();
}

double Seconds(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e9; }

// count(*) over the same WHERE clause, in seconds; the count goes to *rows.
double CountTime(const QString& where, qint64* rows) {
    QElapsedTimer t;
    t.start();
    Recordset rs = ExecuteSql(QStringLiteral("select count(*) from main ") + where, adCmdText, S().catalogue);
    *rows = rs.Field(0).toLongLong();
    return Seconds(t);
}

void Line(const char* what, double secs, double base) {
    std::printf("    %-28s %8.3f s   count(*) %7.3f s   ratio %5.2f%s\n", what, secs, base, secs / base,
                secs > 2 * base ? "   ABOVE 2x" : "");
}

long PeakMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

void Measure(const QString& id, const QString& label) {
    S().nodes.current = id;
    const QString subWhere = NodeWhereClause(NodeAllTags(id, S().nodes.map));
    const QString innerWhere = InnerRecordsWhereClause(id, S().nodes.map, S().catalogue, S().prompter());
    qint64 subRows = 0, innerRows = 0;
    CountTime(subWhere, &subRows);  // the same warm cache for every figure
    const double subCount = CountTime(subWhere, &subRows);
    const double innerCount = CountTime(innerWhere, &innerRows);
    std::printf("%s (node %s, tags \"%s\"): %lld records with sub-nodes, %lld inner\n",
                label.toUtf8().constData(), id.toUtf8().constData(),
                NodeAllTags(id, S().nodes.map).toUtf8().constData(), subRows, innerRows);
    if (subWhere.isEmpty()) {
        // Without a WHERE clause the engine counts from its smallest index and reads no
        // row; a listing ordered by name must read every name. The time of reading them:
        QElapsedTimer r;
        r.start();
        Recordset rs = ExecuteSql(QStringLiteral("select count(name) from main"), adCmdText, S().catalogue);
        std::printf("  (count(name), a read of every row: %.3f s)\n", Seconds(r));
    }
    QElapsedTimer t;

    for (int mode = 0; mode < 2; ++mode) {
        const double base = mode == 0 ? subCount : innerCount;
        std::printf("  %s\n", mode == 0 ? "including sub-nodes (order by name)"
                                        : "inner records (order by fileinputdtime desc)");
        // As the window does: page 1 first, the page count on a worker thread.
        S().list.countInBackground = [] {};
        t.start();
        if (mode == 0)
            S().list.ShowIncludeSubRecords();
        else
            S().list.ShowInnerRecords();
        Line("page 1 (open + fill)", Seconds(t), base);
        std::printf("      %s, %d rows on the page\n", S().list.PageText().toUtf8().constData(),
                    S().list.RowCount());
        S().pageset.CompleteCount();
        S().list.CountReady();
        Line("page count known", Seconds(t), base);
        S().list.countInBackground = nullptr;
        t.start();
        S().list.FillPage(-4);
        Line("last page", Seconds(t), base);
        t.start();
        S().list.SortByColumn(0);
        Line("header sort (name)", Seconds(t), base);
        std::printf("      %s, %d rows on the page\n", S().list.PageText().toUtf8().constData(),
                    S().list.RowCount());
    }
    t.start();
    QStringList ids = InnerRecordIds(id, S().nodes.map, S().catalogue, S().prompter());
    Line("InnerRecordIds", Seconds(t), innerCount);
    if (ids.size() != innerRows) std::printf("    MISMATCH: %lld ids\n", static_cast<qint64>(ids.size()));
    std::printf("    peak memory so far %ld MB\n", PeakMb());
    S().pageset.Close();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qint64 n = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 1000000;
    if (n < 1) {
        std::fprintf(stderr, "usage: bench_listing [N]\n");
        return 1;
    }
    const QString folder = QStringLiteral("/tmp/korvel-bench-listing-%1").arg(n);
    QDir().mkpath(folder);
    QDir::setCurrent(folder);
    if (!QFile::exists(QStringLiteral("ready"))) {
        for (const char* f : {"kv.kdb", "kv.kdb-wal", "kv.kdb-shm"}) QFile::remove(QString::fromLatin1(f));
        QElapsedTimer t;
        t.start();
        Generate(n);
        QFile ready(QStringLiteral("ready"));
        ready.open(QIODevice::WriteOnly);
        std::printf("generated %lld records in %.1f s\n", n, Seconds(t));
    }
    S().catalogue.Open(kConnectionString);
    S().pageset.SetPageSize(30);
    ReloadNodes(S().nodes, S().catalogue, S().prompter());
    std::printf("catalogue %s/kv.kdb: %lld records, %zu nodes, page size 30\n",
                folder.toUtf8().constData(), n, S().nodes.map.size() - 1);
    Measure(QStringLiteral("0"), QStringLiteral("root"));
    Measure(QStringLiteral("1"), QStringLiteral("one-tag node"));
    Measure(QStringLiteral("2"), QStringLiteral("two-tag node"));
    std::printf("peak memory (ru_maxrss) %ld MB\n", PeakMb());
    return 0;
}
