// Listing benchmark: a catalogue of N records (default 1,000,000) with 3 to 6 tags each
// from a vocabulary of 2,000 and a node tree of a few hundred nodes. For the root, a
// one-tag node, a two-tag node and a node with a rare tag it times, in both listing modes,
// page 1 (open + fill, the page count made on a worker, as the window does) and the time
// until the page count is known; in the mode with sub-nodes also page 1 after a header
// sort of every column. Each beside the engine's own count over the same WHERE clause
// (the root: count(name), which reads every name), every step run three times,
// interleaved with its baseline: min and median of wall and processor seconds, the
// ratios, the load and the peak memory.
//
//   bench_listing [N] [RUNS]
//
// The catalogue is made once per N under /tmp/korvel-bench-listing-N and reused.

#include "benchutil.h"
#include "base/settings.h"
#include "benchutil.h"
#include "session/session.h"
#include "list/recordlist.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "store/schema.h"
#include "tree/nodes.h"
#include "tree/tags.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <functional>
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
    Statement ins(
        S().catalogue.handle(),
        QStringLiteral("insert into main(name, findkey, dir, id, filetype, filesize, filedtime, fileinputdtime, vol) "
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
                        .arg(2015 + day / 365)
                        .arg(day % 365 / 31 + 1)
                        .arg(day % 31 + 1)
                        .arg(r % 24)
                        .arg(r / 24 % 60)
                        .arg(r / 1440 % 60));
        ins.Bind(9, QStringLiteral("305419896"));
        ins.Step();
    }
    ins = Statement();
    // Nodes: 20 top-level nodes with one popular tag each, 10 children under each with
    // a tag of their own, and a grandchild under every second child: 320 nodes.
    Statement node(S().catalogue.handle(), QStringLiteral("insert into main2(id, name, findkey, fid) values(?,?,?,?)"));
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

int g_runs = 3;

// The engine's count over the same rows: count(*) with the WHERE clause; for the root
// count(name) (count(*) alone reads no row).
bench::Sample Baseline(const QString& where, qint64* rows) {
    const QString sql = where.isEmpty() ? QStringLiteral("select count(name) from main")
                                        : QStringLiteral("select count(*) from main ") + where;
    return bench::Time([&] {
        Recordset rs = ExecuteSql(sql, adCmdText, S().catalogue);
        *rows = rs.Field(0).toLongLong();
    });
}

// Page 1 as the window shows it: opened, filled, the count on a worker. Then waits for
// the count (not measured here) so that the next step has the processor to itself.
bench::Sample PageOne(const std::function<void()>& show) {
    S().list.countInBackground = [] {};
    bench::Sample s = bench::Time([&] {
        show();
        S().list.WaitForFirstPage();  // from the worker, before the count, where no walk serves it
    });
    S().list.WaitForCount();
    S().list.countInBackground = nullptr;
    return s;
}

// Page 1 and the page count, both on this thread's clock.
bench::Sample UntilCount(const std::function<void()>& show) {
    S().list.countInBackground = [] {};
    bench::Sample s = bench::Time([&] {
        show();
        S().list.WaitForCount();
    });
    S().list.countInBackground = nullptr;
    return s;
}

void Measure(const QString& id, const QString& label) {
    S().nodes.current = id;
    const QString subWhere = NodeWhereClause(NodeAllTags(id, S().nodes.map));
    const QString innerWhere = InnerRecordsWhereClause(id, S().nodes.map, S().catalogue);
    qint64 subRows = 0, innerRows = 0;
    Baseline(subWhere, &subRows);  // the same warm cache for every figure
    Baseline(innerWhere, &innerRows);
    std::printf("%s (node %s, tags \"%s\"): %lld records with sub-nodes, %lld inner; %s\n", label.toUtf8().constData(),
                id.toUtf8().constData(), NodeAllTags(id, S().nodes.map).toUtf8().constData(), subRows, innerRows,
                bench::LoadText().c_str());
    const char* subBase = subWhere.isEmpty() ? "count(name)" : "count(*) where";
    for (int mode = 0; mode < 2; ++mode) {
        const QString& where = mode == 0 ? subWhere : innerWhere;
        auto show = [mode] {
            if (mode == 0)
                S().list.ShowIncludeSubRecords();
            else
                S().list.ShowInnerRecords();
        };
        bench::Series base, first, counted;
        QString text;
        int rowsShown = 0;
        for (int run = 0; run < g_runs; ++run) {
            qint64 rows = 0;
            base.Add(Baseline(where, &rows));
            first.Add(PageOne(show));
            rowsShown = S().list.RowCount();
            counted.Add(UntilCount(show));
            text = S().list.PageText();
        }
        std::printf(" %s: %s, %d rows on page 1\n",
                    mode == 0 ? "with sub-nodes (by name)" : "inner records (newest first)", text.toUtf8().constData(),
                    rowsShown);
        const char* baseName = mode == 0 ? subBase : "count(*) where";
        bench::PrintRow("page 1", first, baseName, base);
        bench::PrintRow("page count known", counted, baseName, base);
        if (mode == 1) break;
        // Header sorts of the listing with sub-nodes: page 1 after the click.
        for (int column = 0; column <= 11; ++column) {
            const int c = column == 11 ? 0 : column;
            const bool desc = column == 11;
            bench::Series sorted, sbase;
            for (int run = 0; run < g_runs; ++run) {
                qint64 rows = 0;
                sbase.Add(Baseline(where, &rows));
                S().list.countInBackground = [] {};
                show();
                S().list.WaitForCount();
                sorted.Add(PageOne([&] { S().list.SortBy(c, desc); }));
            }
            const QString what = QStringLiteral("sort %1 %2").arg(g_column_names[c], desc ? "desc" : "asc");
            bench::PrintRow(what.toUtf8().constData(), sorted, baseName, sbase);
        }
    }
    S().pageset.Close();
}

// A node with a rare tag under the root (made once): tag1999 is on about 0.07% of the
// records.
QString RareNode() {
    Recordset rs = ExecuteSql(QStringLiteral("select id from main2 where findkey='tag1999'"), adCmdText, S().catalogue);
    if (!rs.Eof()) return VariantToText(rs.Field(0));
    WriteTransaction tx(S().catalogue);
    ExecuteSql(QStringLiteral("insert into main2(name, findkey, fid) values('rare', 'tag1999', 0)"), adCmdTextNoRecords,
               S().catalogue);
    const QString id = QString::number(S().catalogue.LastInsertId());
    tx.Commit();
    return id;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qint64 n = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 1000000;
    if (argc > 2) g_runs = std::max(3, std::atoi(argv[2]));
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
        std::printf("generated %lld records in %.1f s\n", n, t.nsecsElapsed() / 1e9);
    }
    bench::Sample opened = bench::Time([] { S().catalogue.Open(kConnectionString); });
    std::printf("catalogue opened in %.2f s (indexes brought up to date)\n", opened.wall);
    S().pageset.SetPageSize(30);
    const QString rare = RareNode();
    ReloadNodes(S().nodes, S().catalogue);
    std::printf("catalogue %s/kv.kdb: %lld records, %zu nodes, page size 30, %d runs per figure\n",
                folder.toUtf8().constData(), n, S().nodes.map.size() - 1, g_runs);

    Measure(QStringLiteral("0"), QStringLiteral("root"));
    Measure(QStringLiteral("1"), QStringLiteral("one-tag node"));
    Measure(QStringLiteral("2"), QStringLiteral("two-tag node"));
    Measure(rare, QStringLiteral("rare-tag node"));
    bench::PrintMachine();
    return 0;
}
