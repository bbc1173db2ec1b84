// Content index benchmark beside a desktop full-text indexer (recollindex and recollq of
// Debian's recollcmd, installed by scripts/bench-setup) on the same generated corpus of mixed
// English and Chinese documents (txt, docx, odt, html in equal parts).
//
// Each round indexes the corpus afresh and again unchanged, with Korvel's index job (after
// an import with indexing off, as the window does it) and with recollindex, each in its own
// process: wall seconds, processor seconds (the process and its children: extraction
// workers, filters), peak memory (the indexing process and its largest child), and the
// size of what each keeps (Korvel: the store KRVLINDEX and the texts under ./index). The
// figures are printed per round and as min and median. Then the queries: the content search
// as the window runs it (catalogue open) beside `grep -rlF` over the same extracted texts,
// and the whole korvel-cli process beside the whole recollq process.
//
//   bench_index [N [ROUNDS]]     N documents (5,000), ROUNDS rounds (3); ROUNDS 0 runs the
//                                queries alone over the catalogue and stores of the last run
//   bench_index N 0 open         the in-process queries alone (no grep, korvel-cli, recollq)
//   bench_index N 0 rebuild      the last run's store rebuilt into the current layout (when
//                                it is of an older one: wall, cpu, peak), then the queries
#include "benchutil.h"
#include "base/fsutil.h"
#include "io/contentindex.h"
#include "files/filters.h"
#include "io/importcore.h"
#include "io/indexjob.h"
#include "base/longop.h"
#include "commands/findmenu.h"
#include "search/contentsearch.h"
#include "store/catalogue.h"
#include "tree/nodes.h"
#include "support/officefiles.h"

#include <krvlindex.h>

#include <QCoreApplication>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>
#include <algorithm>
#include <map>
#include <thread>

using namespace korvel;
namespace fs = std::filesystem;
using bench::Clock;
using bench::CpuSeconds;
using bench::Seconds;
using bench::StatusKb;

namespace {

uint64_t TreeBytes(const fs::path& p) {
    uint64_t total = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(p, ec); it != fs::recursive_directory_iterator(); ++it)
        if (it->is_regular_file(ec)) total += it->file_size(ec);
    return total;
}

// Frequent Chinese characters, most frequent first: the pool of the generated sentences.
const char* const kHanzi =
    "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能下过子说产种面"
    "而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实加量都两体制机当使点从业本去把"
    "性好应开它合还因由其些然前外天政四日那社义事平形相全表间样与关各重新线内数正心反你明看原又么利比或但质"
    "气第向道命此变条只没结解问意建月公无系军很情者最立代想已通并提直题党程展五果料象员革位入常文总次品式活"
    "设及管特件长求老头基资边流路级少图山统接知较将组见计别她手角期根论运农指几九区强放决西被干做必战先回则"
    "任取据处队南给色光门即保治北造百规热领七海口东导器压志世金增争济阶油思术极交受联什认六共权收证改清己美"
    "再采转更单风切打白教速花带安场身车例真务具万每目至达走积示议声报斗完类八离华名确才科张信马节话米整空元"
    "况今集温传土许步群广石记需段研界拉林律叫且究观越织装影算低持音众书布复容儿须际商非验连断深难近矿千周委"
    "素技备半办青省列习响约支般史感劳便团往酸历市克何除消构府称太准精值号率族维划选标写存候毛亲快效斯院查江"
    "型眼王按格养易置派层片始却专状育厂京识适属圆包火住调满县局照参红细引听该铁价严龙飞";

std::vector<std::string> HanziList() {
    std::vector<std::string> out;
    const std::string s = kHanzi;
    for (size_t i = 0; i < s.size(); i += 3) out.push_back(s.substr(i, 3));
    return out;
}

// Pronounceable English-like words.
std::vector<std::string> WordList(std::mt19937& rng) {
    static const char* syl[] = {"an", "ber", "con", "de",  "ex",  "for", "gra", "han", "in",  "jus",
                                "ka", "lo",  "men", "nor", "op",  "pre", "qua", "ri",  "sta", "tion",
                                "un", "ver", "wal", "xy",  "yes", "zo",  "al",  "ble", "cri", "dis"};
    std::vector<std::string> words;
    for (int i = 0; i < 20000; ++i) {
        std::string w;
        const int n = 1 + static_cast<int>(rng() % 3);
        for (int k = 0; k < n; ++k) w += syl[rng() % 30];
        words.push_back(w);
    }
    return words;
}

const char* const kNeedleCjk = "量子纠缠实验";  // in 1 % of the documents
const char* const kNeedleWord = "zebrafish";    // in 5 %

struct Doc {
    std::string path;
    std::string kind;  // "" for txt
};

// Builds (or finds) the corpus; returns its documents.
std::vector<Doc> BuildCorpus(int n, uint64_t& bytes) {
    const std::string root = "/tmp/korvel-bench-index-corpus2-" + std::to_string(n);
    const std::string done = root + ".complete";
    std::vector<Doc> docs;
    for (int i = 0; i < n; ++i) {
        const char* ext = i % 4 == 0 ? "txt" : i % 4 == 1 ? "docx" : i % 4 == 2 ? "odt" : "html";
        docs.push_back(
            {root + "/" + std::to_string(i / 1000) + "/doc" + std::to_string(i) + "." + ext, i % 4 == 0 ? "" : ext});
    }
    if (access(done.c_str(), F_OK) != 0) {
        std::printf("generating %d documents in %s ...\n", n, root.c_str());
        fs::remove_all(root);
        std::mt19937 rng(12345);
        const auto hanzi = HanziList();
        const auto words = WordList(rng);
        // Characters and words follow Zipf's law, as in real text.
        auto zipf = [](size_t n) {
            std::vector<double> w(n);
            for (size_t i = 0; i < n; ++i) w[i] = 1.0 / static_cast<double>(i + 1);
            return std::discrete_distribution<size_t>(w.begin(), w.end());
        };
        auto pickHanzi = zipf(hanzi.size());
        auto pickWord = zipf(words.size());
        for (int i = 0; i < n; ++i) {
            fs::create_directories(fs::path(docs[i].path).parent_path());
            std::vector<std::string> paras;
            size_t size = 0;
            const size_t target = 6000 + rng() % 12000;  // bytes of text, 12 KB on average
            while (size < target) {
                std::string p;
                if (rng() % 2) {
                    for (int k = 0; k < 40; ++k) p += words[pickWord(rng)] + (k % 9 == 8 ? ". " : " ");
                } else {
                    for (int k = 0; k < 60; ++k) {
                        p += hanzi[pickHanzi(rng)];
                        if (k % 15 == 14) p += "，";
                    }
                    p += "。";
                }
                size += p.size();
                paras.push_back(std::move(p));
            }
            if (i % 100 == 7) paras[rng() % paras.size()] += kNeedleCjk;
            if (i % 20 == 3) paras[rng() % paras.size()] += std::string(" ") + kNeedleWord + " ";
            if (docs[i].kind == "docx") {
                officefiles::MakeDocx(docs[i].path, paras);
            } else if (docs[i].kind == "odt") {
                officefiles::MakeOdt(docs[i].path, paras);
            } else if (docs[i].kind == "html") {
                std::ofstream f(docs[i].path, std::ios::binary);
                f << "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>doc " << i
                  << "</title><style>p { margin: 0 }</style></head><body>\n";
                for (const auto& p : paras) f << "<p class=\"para\">" << p << "</p>\n";
                f << "</body></html>\n";
            } else {
                std::ofstream f(docs[i].path, std::ios::binary);
                for (const auto& p : paras) f << p << "\n";
            }
        }
        std::ofstream(done) << "ok";
    }
    bytes = 0;
    for (const auto& d : docs) bytes += fs::file_size(d.path);
    return docs;
}

// --- Measuring a process ---------------------------------------------------------------

struct Run {
    double wall = 0;
    double cpu = 0;          // the process and its waited-for children
    double peakMb = 0;       // the process itself
    double childPeakMb = 0;  // its largest child (as the process reports it; 0 when unknown)
    double load = 0;         // 1-minute load average at the start
};

double LoadAverage() {
    double l[3] = {0, 0, 0};
    return getloadavg(l, 3) > 0 ? l[0] : -1;
}

// Runs fn in a child process (or argv as a program when fn is empty); the child's own
// figures of its children come back through a pipe as "childPeakKb".
Run Measure(const std::function<void(int reportFd)>& fn, const std::vector<std::string>& argv = {},
            const std::string& logFile = "/dev/null") {
    Run r;
    r.load = LoadAverage();
    int fds[2];
    if (pipe(fds) != 0) return r;
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (fn) {
            fn(fds[1]);
            std::fflush(stdout);
            _exit(0);
        }
        const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
        }
        std::vector<char*> a;
        for (const auto& s : argv) a.push_back(const_cast<char*>(s.c_str()));
        a.push_back(nullptr);
        execvp(a[0], a.data());
        _exit(127);
    }
    ::close(fds[1]);
    std::string report;
    char buf[256];
    ssize_t got;
    while ((got = ::read(fds[0], buf, sizeof buf)) > 0) report.append(buf, static_cast<size_t>(got));
    ::close(fds[0]);
    int status = 0;
    struct rusage ru;
    wait4(pid, &status, 0, &ru);
    r.wall = Seconds(t0, Clock::now());
    r.cpu = ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    r.peakMb = ru.ru_maxrss / 1024.0;
    if (!report.empty()) {
        const double own = std::atof(report.c_str()) / 1024.0;
        const size_t sp = report.find(' ');
        if (own > 0) r.peakMb = own;
        if (sp != std::string::npos) r.childPeakMb = std::atof(report.c_str() + sp + 1) / 1024.0;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::printf("  (%s ended with status %d)\n", argv.empty() ? "child" : argv[0].c_str(), status);
    return r;
}

// Tells the measuring parent this process's own peak and its largest child's.
void ReportPeaks(int fd) {
    struct rusage ch;
    getrusage(RUSAGE_CHILDREN, &ch);
    const std::string s = std::to_string(StatusKb("VmHWM:")) + " " + std::to_string(ch.ru_maxrss) + "\n";
    if (::write(fd, s.data(), s.size()) < 0) {
    }
}

double MinOf(std::vector<double> v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
double MedianOf(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void PrintRuns(const char* what, const std::vector<Run>& runs, int docs) {
    std::vector<double> wall, cpu, peak, child, rate;
    for (const Run& r : runs) {
        wall.push_back(r.wall);
        cpu.push_back(r.cpu);
        peak.push_back(r.peakMb);
        child.push_back(r.childPeakMb);
        rate.push_back(docs / r.wall);
        std::printf("    %-26s %8.1f s %8.1f docs/s  cpu %7.1f s  peak %6.1f MB (child %6.1f MB)  load %.1f\n", what,
                    r.wall, docs / r.wall, r.cpu, r.peakMb, r.childPeakMb, r.load);
    }
    std::printf(
        "  %-28s min %.1f s / median %.1f s; docs/s max %.1f / median %.1f; cpu min %.1f / median %.1f s;"
        " peak median %.1f MB\n",
        what, MinOf(wall), MedianOf(wall), -MinOf([&] {
            std::vector<double> n;
            for (double x : rate) n.push_back(-x);
            return n;
        }()),
        MedianOf(rate), MinOf(cpu), MedianOf(cpu), MedianOf(peak));
}

// --- Korvel's side ----------------------------------------------------------------------

const char* const kCatalogueWork = "/tmp/korvel-bench-index-work";

// A new working folder with a catalogue holding the corpus's records (imported with the
// index off).
void PrepareCatalogue(const std::string& corpus, const std::string& work) {
    fs::remove_all(work);
    fs::create_directories(work);
    fs::current_path(work);
    CreateCatalogue("kv.kdb");
    S().catalogue.Open(kConnectionString);
    LoadNodeMap(S().nodes, S().catalogue);
    WriteDefaultFilterFile("filter.xml");
    LoadFilterLists(S().filters);
    ImportOptions o = ImportOptionsOf(S().options, S().presets, S().filters);
    o.indexOnImport = false;
    o.depth = 5;
    std::atomic<bool> done{false};
    std::thread drain([&] {
        QString t;
        while (!done) {
            while (S().ops.import.Take(t) == 0) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    WalkFolder(QString::fromStdString(corpus), 1, NodeAllTags("0", S().nodes.map), "0", o, S().ops.import,
               S().catalogue);
    done = true;
    drain.join();
    S().catalogue.Close();
}

// The index job in this (child) process; prints its counts.
void IndexJobIn(const std::string& work, bool recheck, int reportFd) {
    fs::current_path(work);
    S().catalogue.Open(kConnectionString);
    LoadFilterLists(S().filters);
    IndexJobOptions o = ImportIndexJobOptions(S().filters.List(QStringLiteral("index")), false, S().catalogue);
    o.workerProgram = QStringLiteral(KORVEL_KRVLEXTRACT);
    o.recheck = recheck;
    const IndexJobResult r = RunIndexJob(S().catalogue, {}, o, nullptr, {});
    std::printf("    (job: %d to do, %d indexed, %d without text, %d unchanged, %d missing, %d not extracted)\n",
                r.pending, r.indexed, r.noText, r.unchanged, r.missing, [&] {
                    int n = 0;
                    for (const auto& k : r.notExtracted) n += k.second;
                    return n;
                }());
    S().catalogue.Close();
    ReportPeaks(reportFd);
}

// --- Recoll's side ----------------------------------------------------------------------

bool HaveRecoll() {
    return system("command -v recollindex >/dev/null 2>&1 && command -v recollq >/dev/null 2>&1") == 0;
}

std::string RecollConf(const std::string& corpus, int n) {
    const std::string conf = "/tmp/korvel-bench-recoll-" + std::to_string(n);
    fs::remove_all(conf);
    fs::create_directories(conf);
    // Korvel indexes at normal priority: so does recollindex here (its default is nice 19).
    std::ofstream(conf + "/recoll.conf") << "topdirs = " << corpus << "\nnoaspell = 1\nloglevel = 1\nidxniceprio = 0\n";
    return conf;
}

// --- Queries ------------------------------------------------------------------------------

int GrepCount(const std::string& query, double& seconds) {
    const auto t0 = Clock::now();
    QString out;
    RunCommand(QStringLiteral("grep -rlF --include=text.txt \"%1\" index").arg(QString::fromStdString(query)), out);
    seconds = Seconds(t0, Clock::now());
    return static_cast<int>(out.count(u'\n'));
}

// Lines printed by a command, and its wall time.
int CommandLines(const std::string& cmd, double& seconds) {
    const auto t0 = Clock::now();
    FILE* p = popen(cmd.c_str(), "r");
    int lines = 0;
    char buf[4096];
    while (p && fgets(buf, sizeof buf, p)) ++lines;
    if (p) pclose(p);
    seconds = Seconds(t0, Clock::now());
    return lines;
}

void QueryTable(const std::string& work, const std::string& recollConf, int n, bool openOnly = false) {
    fs::current_path(work);
    S().catalogue.Open(kConnectionString);
    // The two most frequent words of the corpus (the generator's first two words).
    std::mt19937 rng(12345);
    const auto words = WordList(rng);
    const std::string common = words[0], common2 = words[0] + " " + words[1];
    struct Q {
        std::string korvel;  // as typed into the content search
        std::string grep;    // the text grep looks for (empty: not comparable)
        std::string recoll;  // recollq's query language
        // clang-format off
    } queries[] = {
        {common, common, common},                                   // common word
        {common2, "", common2},                                     // two common words, anywhere
        {"\"" + common2 + "\"", common2, "\"" + common2 + "\""},   // two common words side by side
        {"的一是在", "的一是在", "的一是在"},                        // common Chinese run of four
        {kNeedleWord, kNeedleWord, kNeedleWord},                    // rare word (5 %)
        {kNeedleCjk, kNeedleCjk, kNeedleCjk},                       // rare Chinese run (1 %)
        {"的一是", "的一是", "的一是"},                              // common Chinese run
        {"\"zebrafish " + std::string(kNeedleCjk) + "\"", "", "\"zebrafish " + std::string(kNeedleCjk) + "\""},
        {"的", "的", "的"},                                         // in every document
    };
    // clang-format on
    std::printf("\nqueries over %d documents (%s):\n", n, bench::LoadText().c_str());
    std::printf(
        "  'open': the search as the window runs it (catalogue open): RunContentSearch and the listing's page 1\n");
    std::printf("  %-28s %6s %6s | %9s %9s %9s %9s %9s %6s | %9s %9s %6s %6s\n", "query", "hits", "grep", "open min",
                "median", "cpu med", "store med", "grep min", "ratio", "cli med", "recollq", "ratio", "rhits");
    for (const Q& q : queries) {
        std::vector<double> inproc, inprocCpu, store;
        int hits = 0;
        for (int k = 0; k < 5; ++k) {
            const double c0 = CpuSeconds(RUSAGE_SELF);
            const auto t0 = Clock::now();
            const ContentRunResult r = *RunContentSearch(S(), QString::fromStdString(q.korvel));
            if (!r.hits.empty()) S().list.Show(ContentResultListing(r));
            inproc.push_back(Seconds(t0, Clock::now()));
            inprocCpu.push_back(CpuSeconds(RUSAGE_SELF) - c0);
            S().ops.search.TakeAll();  // the window's progress dialog shows these
            if (!r.hits.empty() && S().list.RecordCount() != static_cast<qint64>(r.hits.size()))
                std::printf("  (listed %lld of %zu hits)\n", static_cast<long long>(S().list.RecordCount()),
                            r.hits.size());
            hits = static_cast<int>(r.hits.size());
            // The store's part alone: the same query asked of the content index.
            const auto t1 = Clock::now();
            ContentIndex::SearchAll(QString::fromStdString(q.korvel) + QStringLiteral(" "));
            store.push_back(Seconds(t1, Clock::now()));
        }
        std::vector<double> greps;
        int grepHits = -1;
        if (!q.grep.empty() && !openOnly)
            for (int k = 0; k < 3; ++k) {
                double g = 0;
                grepHits = GrepCount(q.grep, g);
                greps.push_back(g);
            }
        std::vector<double> cli, rq;
        int rhits = -1;
        const std::string cliCmd =
            std::string("'") + KORVEL_CLI + "' --dir '" + work + "' search-content '" + q.korvel + "'";
        for (int k = 0; k < (openOnly ? 0 : 3); ++k) {
            double c = 0;
            CommandLines(cliCmd, c);
            cli.push_back(c);
            if (!recollConf.empty()) {
                double r = 0;
                rhits =
                    CommandLines("recollq -c '" + recollConf + "' -b -n 0-100000 '" + q.recoll + "' 2>/dev/null", r);
                rq.push_back(r);
            }
        }
        std::printf("  %-28s %6d %6d | %9.4f %9.4f %9.4f %9.4f %9.4f %6.3f | %9.4f %9.4f %6.2f %6d\n", q.korvel.c_str(),
                    hits, grepHits, MinOf(inproc), MedianOf(inproc), MedianOf(inprocCpu), MedianOf(store), MinOf(greps),
                    greps.empty() ? 0 : MinOf(inproc) / MinOf(greps), MedianOf(cli), MedianOf(rq),
                    rq.empty() ? 0 : MedianOf(cli) / MedianOf(rq), rhits);
        std::fflush(stdout);
    }
    std::printf("  after the queries: ");
    bench::PrintMachine();
    S().list.Reset();
    S().pageset.Close();
    S().catalogue.Close();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int rounds = argc > 2 ? std::max(0, std::atoi(argv[2])) : 3;
    uint64_t corpusBytes = 0;
    BuildCorpus(n, corpusBytes);
    const std::string corpus = "/tmp/korvel-bench-index-corpus2-" + std::to_string(n);
    const std::string work = std::string(kCatalogueWork) + "-" + std::to_string(n);
    const bool recoll = HaveRecoll();
    std::printf("corpus: %d documents (txt, docx, odt, html in equal parts), %.1f MB; %u cores; rounds %d\n", n,
                corpusBytes / 1048576.0, std::thread::hardware_concurrency(), rounds);
    if (!recoll) std::printf("recollindex/recollq not installed (scripts/bench-setup): Korvel alone\n");

    if (rounds == 0) {
        if (argc > 3 && std::strcmp(argv[3], "rebuild") == 0) {
            // A store of an older layout brought into the current one, as the index job does.
            std::printf("rebuilding the store of %s (%.1f MB):\n", work.c_str(),
                        TreeBytes(work + "/KRVLINDEX") / 1048576.0);
            std::fflush(stdout);  // the child would print it again
            int left = 0;
            const Run r = Measure([&](int fd) {
                fs::current_path(work);
                while ((left = IndexFilesRebuild(1000)) > 0) {
                }
                std::printf("    (rebuild ended with %d)\n", left);
                ReportPeaks(fd);
            });
            std::printf("    rebuild %8.1f s  cpu %7.1f s  peak %6.1f MB  load %.1f; store now %.1f MB\n", r.wall,
                        r.cpu, r.peakMb, r.load, TreeBytes(work + "/KRVLINDEX") / 1048576.0);
        }
        const bool openOnly = argc > 3 && std::strcmp(argv[3], "open") == 0;
        QueryTable(work, recoll ? "/tmp/korvel-bench-recoll-" + std::to_string(n) : std::string(), n, openOnly);
        return 0;
    }
    std::vector<Run> fresh, again, rFresh, rAgain;
    uint64_t store = 0, texts = 0, recollStore = 0;
    std::string conf;
    for (int round = 1; round <= rounds; ++round) {
        std::printf("round %d\n", round);
        std::fflush(stdout);
        Measure([&](int) { PrepareCatalogue(corpus, work); });
        fresh.push_back(Measure([&](int fd) { IndexJobIn(work, false, fd); }));
        store = TreeBytes(work + "/KRVLINDEX");
        texts = TreeBytes(work + "/index");
        again.push_back(Measure([&](int fd) { IndexJobIn(work, true, fd); }));
        if (recoll) {
            conf = RecollConf(corpus, n);
            rFresh.push_back(Measure({}, {"recollindex", "-c", conf, "-z"}, conf + "/bench.log"));
            recollStore = TreeBytes(conf + "/xapiandb");
            rAgain.push_back(Measure({}, {"recollindex", "-c", conf}, conf + "/bench2.log"));
        }
    }
    std::printf("\nindexing %d documents:\n", n);
    PrintRuns("korvel fresh", fresh, n);
    PrintRuns("korvel again (unchanged)", again, n);
    if (recoll) {
        PrintRuns("recollindex fresh", rFresh, n);
        PrintRuns("recollindex again", rAgain, n);
        std::printf(
            "  ratios (median): docs/s korvel/recoll %.2f; cpu korvel/recoll %.2f; "
            "re-index/fresh korvel %.3f, recoll %.3f\n",
            MedianOf([&] {
                std::vector<double> v;
                for (auto& r : rFresh) v.push_back(r.wall);
                return v;
            }()) /
                MedianOf([&] {
                    std::vector<double> v;
                    for (auto& r : fresh) v.push_back(r.wall);
                    return v;
                }()),
            MedianOf([&] {
                std::vector<double> v;
                for (auto& r : fresh) v.push_back(r.cpu);
                return v;
            }()) /
                MedianOf([&] {
                    std::vector<double> v;
                    for (auto& r : rFresh) v.push_back(r.cpu);
                    return v;
                }()),
            MedianOf([&] {
                std::vector<double> v;
                for (auto& r : again) v.push_back(r.wall);
                return v;
            }()) /
                MedianOf([&] {
                    std::vector<double> v;
                    for (auto& r : fresh) v.push_back(r.wall);
                    return v;
                }()),
            MedianOf([&] {
                std::vector<double> v;
                for (auto& r : rAgain) v.push_back(r.wall);
                return v;
            }()) /
                MedianOf([&] {
                    std::vector<double> v;
                    for (auto& r : rFresh) v.push_back(r.wall);
                    return v;
                }()));
    }
    std::printf("  kept on disk: korvel %.1f MB (store %.1f MB + texts %.1f MB)%s; corpus %.1f MB\n",
                (store + texts) / 1048576.0, store / 1048576.0, texts / 1048576.0,
                recoll ? (", recoll " + std::to_string(recollStore / 1048576) + " MB").c_str() : "",
                corpusBytes / 1048576.0);

    QueryTable(work, recoll ? conf : std::string(), n);
    return 0;
}
