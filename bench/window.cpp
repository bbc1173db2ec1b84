// Window benchmark: KEY ADD over 10,000 selected rows in the window against korvel-cli's
// add-tags of the same records, in the same run, on the same catalogue.
//
// The window is the real main frame (offscreen): a node listing all N records on one
// page of N rows, every row selected, the keyword dialog answered by the bench, the
// change run on the worker under the progress dialog as the window does it. While it
// runs, a 10 ms timer on the window's thread records the longest gap between its ticks:
// the longest time the window could not repaint.
//
//   bench_window [N]      (N at most 10,000: the largest page the window shows)
//
// With --big DIR it opens the catalogue of DIR (made by bench_listing, 1,000,000 records:
// /tmp/korvel-bench-listing-1000000) in the window with sub-nodes shown, and times the
// click on the root, a one-tag node, a two-tag node and a rare-tag node until page 1 is
// painted and until the page count is shown, with the longest time the window's thread
// could not repaint meanwhile, beside the engine's count over the same records; then the
// window's peak memory.
//
//   bench_window --big DIR [RUNS]

#include "base/dialogs.h"
#include "base/prompter.h"
#include "gui/CLeftView.h"
#include "gui/CMainFrame.h"
#include "gui/COstrelView.h"
#include "gui/GuiPrompter.h"
#include "list/recordlist.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "tree/nodes.h"
#include "tree/tags.h"

#include "benchutil.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace korvel;

namespace {

// Answers the keyword dialog with the bench's tags; long operations run as the window
// runs them (worker thread, progress dialog).
class BenchPrompter final : public DecliningPrompter {
public:
    explicit BenchPrompter(GuiPrompter& gui) : gui_(gui) {}
    QString tags;
    void Message(const QString& text, const QString&, MsgIcon) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool EditDialog(const QString& dialog, DialogFields& fields) override {
        if (dialog != dlg::kBatchKeys) return false;
        fields[dlg::kText] = tags;
        return true;
    }
    int FourAnswer(const QString&, int) override { return 2; }  // yes to all
    void RunLongOperation(LongOperation& op, const std::function<void()>& worker) override {
        gui_.RunLongOperation(op, worker);
    }
    void ShowSummary(const QString& text) override { gui_.ShowSummary(text); }

private:
    GuiPrompter& gui_;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The longest time the window's thread could not run a 10 ms timer, from Start to Stop:
// the longest time it could not repaint.
class PauseMeter {
public:
    PauseMeter() {
        beat_.setInterval(10);
        QObject::connect(&beat_, &QTimer::timeout, [this] { longest_ = std::max(longest_, tick_.restart()); });
    }
    void Start() {
        longest_ = 0;
        tick_.start();
        beat_.start();
    }
    // The longest pause in ms.
    double Stop() {
        beat_.stop();
        return static_cast<double>(std::max(longest_, tick_.elapsed()));
    }

private:
    QElapsedTimer tick_;
    qint64 longest_ = 0;
    QTimer beat_;
};

// The window on a large catalogue: page 1 and the page count after a click on a node.
int BigListing(const QString& dir, int runs) {
    if (!QDir::setCurrent(dir) || !QFile::exists(QStringLiteral("kv.kdb"))) {
        std::fprintf(stderr, "no catalogue in %s (run bench_listing first)\n", qPrintable(dir));
        return 1;
    }
    S().catalogue.Open(kConnectionString);
    ReloadNodes(S().nodes, S().catalogue);
    S().options.subnode = false;  // every record of the node and its sub-nodes, by name
    QString rare;
    {
        Recordset rs =
            ExecuteSql(QStringLiteral("select id from main2 where findkey='tag1999'"), adCmdText, S().catalogue);
        if (!rs.Eof()) rare = VariantToText(rs.Field(0));
    }
    struct Target {
        const char* label;
        QString id;
    };
    std::vector<Target> targets = {
        {"root", QStringLiteral("0")}, {"one-tag node", QStringLiteral("1")}, {"two-tag node", QStringLiteral("2")}};
    if (!rare.isEmpty()) targets.push_back({"rare-tag node", rare});
    const long before = bench::StatusKb("VmRSS:");
    GuiPrompter gui(S());
    S().SetPrompter(&gui);
    CMainFrame frame(S());
    gui.SetParentWindow(&frame);
    frame.resize(1200, 720);
    frame.show();
    QApplication::processEvents();
    std::printf("window on %s: %s; memory before the window %.1f MB\n", qPrintable(dir), bench::LoadText().c_str(),
                before / 1024.0);
    for (const Target& t : targets) {
        const QString where = NodeWhereClause(NodeAllTags(t.id, S().nodes.map));
        const QString count = where.isEmpty() ? QStringLiteral("select count(name) from main")
                                              : QStringLiteral("select count(*) from main ") + where;
        bench::Series base, painted, counted;
        qint64 records = 0;
        std::vector<double> gaps;
        for (int run = 0; run < runs; ++run) {
            base.Add(bench::Time([&] {
                Recordset rs = ExecuteSql(count, adCmdText, S().catalogue);
                records = rs.Field(0).toLongLong();
            }));
            // Another node first, so that the click opens a new listing.
            frame.ExpandAllAndOpen(t.id == QStringLiteral("0") ? QStringLiteral("2") : QStringLiteral("0"));
            while (S().list.RecordCount() < 0 || S().list.PageAwaited())
                QApplication::processEvents(QEventLoop::AllEvents, 5);
            PauseMeter pauses;
            const double cpu0 = bench::CpuSeconds(RUSAGE_SELF);
            const auto t0 = bench::Clock::now();
            pauses.Start();
            frame.ExpandAllAndOpen(t.id);
            while (frame.listView()->RowCount() == 0 && records > 0)
                QApplication::processEvents(QEventLoop::AllEvents, 5);
            frame.listView()->viewport()->repaint();
            painted.Add({bench::Seconds(t0, bench::Clock::now()), bench::CpuSeconds(RUSAGE_SELF) - cpu0});
            while (S().list.RecordCount() < 0) QApplication::processEvents(QEventLoop::AllEvents, 5);
            counted.Add({bench::Seconds(t0, bench::Clock::now()), bench::CpuSeconds(RUSAGE_SELF) - cpu0});
            gaps.push_back(pauses.Stop());
            if (S().list.RecordCount() != records)
                std::fprintf(stderr, "%s: the window counts %lld records, the engine %lld\n", t.label,
                             static_cast<long long>(S().list.RecordCount()), static_cast<long long>(records));
        }
        std::printf("%s (node %s, %lld records; %s)\n", t.label, qPrintable(t.id), static_cast<long long>(records),
                    qPrintable(S().list.PageText()));
        const char* baseName = where.isEmpty() ? "count(name)" : "count(*) where";
        bench::PrintRow("click to page 1 painted", painted, baseName, base);
        bench::PrintRow("click to page count shown", counted, baseName, base);
        std::printf("  longest time the window could not repaint: min %.0f ms  median %.0f ms\n",
                    bench::Series::Min(gaps), bench::Series::Median(gaps));
    }
    gui.SetParentWindow(nullptr);
    S().SetPrompter(nullptr);
    std::printf("peak memory of the process %.1f MB (window and listing; %.1f MB before the window)\n", bench::PeakMb(),
                before / 1024.0);
    bench::PrintMachine();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 2 && std::strcmp(argv[1], "--big") == 0)
        return BigListing(QString::fromLocal8Bit(argv[2]), argc > 3 ? std::max(3, std::atoi(argv[3])) : 3);
    const int n = std::clamp(argc > 1 ? std::atoi(argv[1]) : 10000, 10, 10000);
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/korvel-cli");

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    CreateCatalogue(QStringLiteral("kv.kdb"));
    S().catalogue.Open(kConnectionString);
    S().catalogue.Begin();
    {
        Statement st(S().catalogue, QStringLiteral("insert into main(id,name,findkey,dir,filetype,filesize,filedtime,"
                                                   "fileinputdtime,vol) values(?,?,' all ',?,'文件','1 K',"
                                                   "'2024-01-01 00:00:00','2024-01-01 1:0:0','0')"));
        for (int i = 1; i <= n; ++i) {
            st.Bind(1, i);
            st.Bind(2, QStringLiteral("file%1.txt").arg(i));
            st.Bind(3, QStringLiteral("/nowhere/file%1.txt").arg(i));
            st.Step();
            st.Reset();
        }
    }
    S().catalogue.Commit();
    ExecuteSql(QStringLiteral("insert into main2(id,name,findkey,fid) values(1,'all','all',0)"), adCmdTextNoRecords,
               S().catalogue);
    ReloadNodes(S().nodes, S().catalogue);
    QStringList ids;
    for (int i = 1; i <= n; ++i) ids << QString::number(i);

    GuiPrompter gui(S());
    BenchPrompter prompts(gui);
    S().SetPrompter(&prompts);
    S().pageset.SetPageSize(n);
    std::vector<double> windowTimes, cliTimes, gaps;
    double windowCpu = 0;
    {
        CMainFrame frame(S());
        gui.SetParentWindow(&frame);
        frame.show();
        frame.ExpandAllAndOpen(QStringLiteral("1"));
        if (frame.listView()->RowCount() != n) {
            std::fprintf(stderr, "the listing shows %d rows, not %d\n", frame.listView()->RowCount(), n);
            return 1;
        }
        for (int run = 0; run < 3; ++run) {
            frame.listView()->selectAll();
            prompts.tags = QStringLiteral("w%1").arg(run);
            PauseMeter pauses;
            const double cpu0 = bench::CpuSeconds(RUSAGE_SELF);
            const auto t0 = bench::Clock::now();
            pauses.Start();
            frame.listView()->OnKeyAdd();
            gaps.push_back(pauses.Stop());
            windowTimes.push_back(bench::Seconds(t0, bench::Clock::now()));
            windowCpu += bench::CpuSeconds(RUSAGE_SELF) - cpu0;
            if (frame.listView()->SelectedRows().size() != n)
                std::fprintf(stderr, "selection lost: %lld rows\n",
                             static_cast<long long>(frame.listView()->SelectedRows().size()));
        }
        gui.SetParentWindow(nullptr);
    }
    S().SetPrompter(nullptr);
    S().pageset.Close();
    S().catalogue.Close();

    const double childCpu0 = bench::CpuSeconds(RUSAGE_CHILDREN);
    for (int run = 0; run < 3; ++run) {
        QProcess p;
        const auto t0 = bench::Clock::now();
        p.start(cli, QStringList{"--dir", dir.path(), "add-tags", QStringLiteral("c%1").arg(run)} + ids +
                         QStringList{"--answer", "all"});
        p.waitForFinished(-1);
        cliTimes.push_back(bench::Seconds(t0, bench::Clock::now()));
        if (p.exitCode() != 0) std::fprintf(stderr, "korvel-cli failed: %s\n", p.readAllStandardError().constData());
    }
    const double cliCpu = bench::CpuSeconds(RUSAGE_CHILDREN) - childCpu0;

    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf("KEY ADD over %d selected rows (3 runs each)\n", n);
    std::printf("  window:     min %.3f s  median %.3f s  cpu %.2f s in all\n",
                *std::min_element(windowTimes.begin(), windowTimes.end()), Median(windowTimes), windowCpu);
    std::printf("  korvel-cli: min %.3f s  median %.3f s  cpu %.2f s in all\n",
                *std::min_element(cliTimes.begin(), cliTimes.end()), Median(cliTimes), cliCpu);
    std::printf("  ratio window / korvel-cli (median): %.2f\n", Median(windowTimes) / Median(cliTimes));
    std::printf("  longest gap between window ticks: min %.0f ms  median %.0f ms\n",
                *std::min_element(gaps.begin(), gaps.end()), Median(gaps));
    std::printf("  load average %.2f %.2f %.2f   peak memory %ld kB\n", load[0], load[1], load[2],
                bench::StatusKb("VmHWM"));
    return 0;
}
