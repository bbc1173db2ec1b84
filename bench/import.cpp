// Folder import benchmark. Two trees under /tmp: 100,000 files in 1,000 folders two levels
// deep (every tenth name with a blank, every tenth a CJK name), and 200,000 files with
// Chinese names in folders twenty levels deep. Each tree is imported with the default
// options (node tree on, same-file check on) into a fresh catalogue, then again (every
// file refused by the same-file check), once without a filter.xml and once with the
// default filter.xml, and through korvel-cli import-tree; each beside
// `find -printf '%s %T@ %p\n'` over the same tree, run as many times, interleaved. Beside
// them, the floor under any import of these records: the engine alone writing the same rows
// from memory into a fresh catalogue (its memory counts in the process's peak).
// Prints min and median of wall and processor seconds, the ratios, the load and the peak
// memory.
//
//   bench_import                 both trees, each in its own process, 3 runs each
//   bench_import --one N [RUNS]  one tree: 100000 the flat one, 200000 the deep one
//   ... --records-only           the records landing only: the index setting's case
//                                without the index job that follows it, korvel-cli
//                                import-tree with --no-index
//   KORVEL_BENCH_CLI=PROGRAM     times that korvel-cli instead of this build's
#include "benchutil.h"
#include "session/session.h"
#include "base/longop.h"
#include "base/settings.h"
#include "files/filters.h"
#include "io/importcore.h"
#include "io/indexjob.h"
#include "store/catalogue.h"
#include "tree/nodes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace korvel;
using bench::Series;

namespace {

void MakeFile(const std::string& p) {
    int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        ::write(fd, p.data(), p.size() % 200);
        ::close(fd);
    }
}

// The flat tree: 100 folders of 10 sub-folders, `files` files in all.
std::string BuildFlatTree(int files) {
    std::string root = "/tmp/korvel-bench-tree-" + std::to_string(files);
    std::string done = root + ".complete";  // beside the tree, not in it
    if (access(done.c_str(), F_OK) == 0) return root;
    std::system(("rm -rf '" + root + "'").c_str());
    mkdir(root.c_str(), 0755);
    const int perFolder = files / 1000;
    for (int a = 0; a < 100; ++a) {
        std::string da = root + "/dir " + std::to_string(a);
        mkdir(da.c_str(), 0755);
        for (int b = 0; b < 10; ++b) {
            std::string db = da + "/子目录" + std::to_string(b);
            mkdir(db.c_str(), 0755);
            for (int i = 0; i < perFolder; ++i) {
                std::string name;
                if (i % 10 == 3)
                    name = "report " + std::to_string(i) + ".doc";
                else if (i % 10 == 7)
                    name = "文件" + std::to_string(i) + ".txt";
                else
                    name = "file" + std::to_string(i) + ".txt";
                MakeFile(db + "/" + name);
            }
        }
    }
    MakeFile(done);
    return root;
}

// The deep tree: 200 chains of 20 folders with Chinese names, 50 files with Chinese names
// in every folder of every chain: 200,000 files.
std::string BuildDeepTree() {
    std::string root = "/tmp/korvel-bench-deep-200000";
    std::string done = root + ".complete";
    if (access(done.c_str(), F_OK) == 0) return root;
    std::system(("rm -rf '" + root + "'").c_str());
    mkdir(root.c_str(), 0755);
    for (int c = 0; c < 200; ++c) {
        std::string d = root + "/资料库" + std::to_string(c);
        for (int level = 0; level < 20; ++level) {
            if (level > 0) d += "/第" + std::to_string(level) + "层目录";
            mkdir(d.c_str(), 0755);
            for (int i = 0; i < 50; ++i)
                MakeFile(d + "/项目文档 " + std::to_string(c) + "-" + std::to_string(level) + "-" + std::to_string(i) +
                         (i % 3 == 0   ? ".pdf"
                          : i % 3 == 1 ? ".docx"
                                       : ".txt"));
        }
    }
    MakeFile(done);
    return root;
}

bench::Sample TimeFind(const std::string& root) {
    const std::string cmd = "find '" + root + "' -printf '%s %T@ %p\\n' > /dev/null";
    return bench::Time([&] { std::system(cmd.c_str()); }, RUSAGE_CHILDREN);
}

// korvel-cli of this build, or the one KORVEL_BENCH_CLI names (another build's, to compare
// two builds in the same conditions).
const char* CliProgram() {
    const char* other = std::getenv("KORVEL_BENCH_CLI");
    return other && *other ? other : KORVEL_CLI;
}

long long Count(const char* sql) {
    Recordset rs = ExecuteSql(QString::fromLatin1(sql), adCmdText, S().catalogue);
    return rs.Eof() ? -1 : rs.Field(0).toLongLong();
}

// Runs one walk with a thread emptying the status queue, as the progress dialog does.
void Walk(const std::string& root, const ImportOptions& options) {
    std::atomic<bool> done{false};
    std::thread drain([&] {
        QString t;
        while (!done) {
            while (S().ops.import.Take(t) == 0) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        while (S().ops.import.Take(t) == 0) {
        }
    });
    S().ops.import.Start();
    const WalkResult result = WalkFolder(QString::fromStdString(root), 1, NodeAllTags("0", S().nodes.map), "0", options,
                                         S().ops.import, S().catalogue);
    if (!result.Complete()) std::printf("the walk was not complete: %d record(s) failed\n", result.failedRecords);
    done = true;
    drain.join();
}

// The rows of main as the engine holds them (the eight values the walk writes, as UTF-8).
using Row = std::vector<std::string>;
const char kRowColumns[] = "dir,findkey,name,filetype,filesize,filedtime,fileinputdtime,vol";

std::vector<Row> ReadRows(Connection& conn) {
    std::vector<Row> rows;
    Statement st(conn, QStringLiteral("select %1 from main order by id").arg(QLatin1String(kRowColumns)));
    while (st.Step()) {
        Row r(8);
        for (int i = 0; i < 8; ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st.handle(), i));
            if (text) r[static_cast<size_t>(i)].assign(text, static_cast<size_t>(sqlite3_column_bytes(st.handle(), i)));
        }
        rows.push_back(std::move(r));
    }
    return rows;
}

// What the engine alone costs for the same records: the rows of an import, from memory,
// written into a fresh catalogue of the same schema and encryption by one prepared insert
// in one write transaction with a page cache that holds it all, then copied into the catalogue file (the checkpoint),
// as the walk's writer has done by its end. No folder is read and no text converted: the floor under any import of
// these records.
void InsertRows(const std::vector<Row>& rows, Connection& conn) {
    // A page cache that holds the whole transaction: nothing spills before the commit.
    Statement(conn, QStringLiteral("PRAGMA cache_size = -524288")).Step();
    conn.Begin();
    Statement insert(
        conn, QStringLiteral("insert into main(%1) values(?1,?2,?3,?4,?5,?6,?7,?8)").arg(QLatin1String(kRowColumns)));
    sqlite3_stmt* h = insert.handle();
    for (const Row& r : rows) {
        for (int i = 0; i < 8; ++i) {
            const std::string& v = r[static_cast<size_t>(i)];
            sqlite3_bind_text(h, i + 1, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
        }
        sqlite3_step(h);
        sqlite3_reset(h);
    }
    insert = Statement();
    conn.Commit();
    Statement(conn, QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)")).Step();
}

// A fresh working folder with an empty catalogue, with or without the default filter.xml.
struct Work {
    QTemporaryDir dir;
    explicit Work(bool filters) {
        QDir::setCurrent(dir.path());
        CreateCatalogue("kv.kdb");
        if (filters) WriteDefaultFilterFile(kFilterFile);
        LoadFilterLists(S().filters);
    }
};

// The cases measured in the process: the walk of the core, with and without filter.xml.
struct Case {
    const char* name;
    bool filters;
    bool indexOn;
};
const Case kCases[] = {{"no filter.xml", false, false},
                       {"default filter.xml, index setting off", true, false},
                       {"default filter.xml, index setting on", true, true}};

int RunOne(int files, int runs, bool recordsOnly) {
    const bool deep = files == 200000;
    const std::string root = deep ? BuildDeepTree() : BuildFlatTree(files);
    const int depth = deep ? 20 : 2;
    std::printf("tree %s: %d files, depth %d; %s\n", root.c_str(), files, depth, bench::LoadText().c_str());
    TimeFind(root);  // warm the cache
    Series find;
    // Records only: the index job after the case with the index setting on is left out,
    // and korvel-cli runs with --no-index.
    const size_t nCases = sizeof kCases / sizeof kCases[0];
    std::vector<Series> first(nCases), again(nCases);
    Series cli, cliAgain, indexJob, engine;
    std::vector<Row> rows;  // the first import's records
    int indexed = 0, pending = 0;
    std::vector<long long> records(nCases);
    long long cliRecords = -1;
    for (int run = 0; run < runs; ++run) {
        find.Add(TimeFind(root));
        for (size_t c = 0; c < nCases; ++c) {
            Work work(kCases[c].filters);
            S().catalogue.Open(kConnectionString);
            LoadNodeMap(S().nodes, S().catalogue);
            ImportOptions options = ImportOptionsOf(S().options, S().presets, S().filters);
            options.depth = depth;
            options.createNodeTree = true;
            options.importLastDir = true;
            options.sameCheck = true;
            options.indexOnImport = kCases[c].indexOn;
            first[c].Add(bench::Time([&] { Walk(root, options); }));
            records[c] = Count("select count(*) from main");
            if (rows.empty()) rows = ReadRows(S().catalogue);
            if (kCases[c].indexOn && !recordsOnly) {
                // The content-index job that follows an import with the index setting on; the
                // records have landed before it starts.
                IndexJobOptions o =
                    ImportIndexJobOptions(S().filters.List(QStringLiteral("index")), false, S().catalogue);
                o.workerProgram = QStringLiteral(KORVEL_KRVLEXTRACT);
                // Its processor seconds include the extraction workers it waited for.
                const double children0 = bench::CpuSeconds(RUSAGE_CHILDREN);
                IndexJobResult r{};
                bench::Sample job = bench::Time([&] { r = RunIndexJob(S().catalogue, {}, o, nullptr, {}); });
                job.cpu += bench::CpuSeconds(RUSAGE_CHILDREN) - children0;
                indexJob.Add(job);
                indexed = r.indexed;
                pending = r.pending;
            }
            again[c].Add(bench::Time([&] { Walk(root, options); }));
            if (Count("select count(*) from main") != records[c]) std::printf("the second import added records\n");
            S().catalogue.Close();
            QDir::setCurrent(QDir::tempPath());
        }
        {
            Work work(false);
            Connection conn;
            conn.Open(kConnectionString);
            engine.Add(bench::Time([&] { InsertRows(rows, conn); }));
            conn.Close();
            QDir::setCurrent(QDir::tempPath());
        }
        {
            // korvel-cli in a working folder with its own default filter.xml (init makes it).
            QTemporaryDir dir;
            const std::string w = dir.path().toStdString();
            const std::string cmd = std::string("'") + CliProgram() + "' --dir '" + w + "' ";
            std::system((cmd + "init > /dev/null").c_str());
            const std::string import = cmd + "import-tree '" + root + "' --node 0 --depth " + std::to_string(depth) +
                                       (recordsOnly ? " --no-index" : "") + " > /dev/null";
            cli.Add(bench::Time([&] { std::system(import.c_str()); }, RUSAGE_CHILDREN));
            cliAgain.Add(bench::Time([&] { std::system(import.c_str()); }, RUSAGE_CHILDREN));
            QDir::setCurrent(dir.path());
            S().catalogue.Open(kConnectionString);
            cliRecords = Count("select count(*) from main");
            S().catalogue.Close();
            QDir::setCurrent(QDir::tempPath());
        }
    }
    for (size_t c = 0; c < nCases; ++c) {
        std::printf(" %s: %lld records\n", kCases[c].name, records[c]);
        bench::PrintRow("first import", first[c], "find", find);
        bench::PrintRow("again (all refused)", again[c], "find", find);
    }
    if (!indexJob.wall.empty()) {
        std::printf(" then the index job: %d documents, %d indexed\n", pending, indexed);
        bench::PrintRow("index job", indexJob, "find", find);
    }
    std::printf(" the engine alone: the same %zu rows from memory, one insert statement, one transaction\n",
                rows.size());
    bench::PrintRow("engine insert", engine, "find", find);
    std::printf(" korvel-cli import-tree (its own filter.xml): %lld records\n", cliRecords);
    bench::PrintRow("first import", cli, "find", find);
    bench::PrintRow("again (all refused)", cliAgain, "find", find);
    bench::PrintMachine();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool recordsOnly = argc > 1 && std::strcmp(argv[argc - 1], "--records-only") == 0;
    if (recordsOnly) --argc;
    if (argc >= 3 && std::strcmp(argv[1], "--one") == 0)
        return RunOne(std::atoi(argv[2]), argc > 3 ? std::max(3, std::atoi(argv[3])) : 3, recordsOnly);
    // Each tree in its own process, so each peak memory figure is that tree's own.
    for (int files : {100000, 200000}) {
        std::string cmd =
            std::string("'") + argv[0] + "' --one " + std::to_string(files) + (recordsOnly ? " 3 --records-only" : "");
        std::fflush(stdout);
        if (std::system(cmd.c_str()) != 0) return 1;
    }
    return 0;
}
