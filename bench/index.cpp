// Content index benchmark: generates a corpus of mixed English and Chinese documents as
// txt, docx and odt, indexes it the way the program does (the extractor word2 for the
// office files, then the content-index library), and prints throughput, peak memory, the
// size on disk, and the time of a content search over every indexed record beside
// `grep -rlF` over the extracted texts, measured in the same run. The search is repeated
// over four times as many records, made by copying the index folders (which the library
// takes into its store at the next search).
//
//   bench_index            5,000 documents of about 12 KB (about 60 MB)
//   bench_index N          N documents
#include "benchutil.h"
#include "base/fsutil.h"
#include "io/contentindex.h"
#include "support/officefiles.h"

#include <krvlindex.h>

#include <QCoreApplication>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
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
    static const char* syl[] = {"an", "ber", "con", "de", "ex", "for", "gra", "han", "in", "jus", "ka", "lo",
                                "men", "nor", "op", "pre", "qua", "ri", "sta", "tion", "un", "ver", "wal", "xy",
                                "yes", "zo", "al", "ble", "cri", "dis"};
    std::vector<std::string> words;
    for (int i = 0; i < 20000; ++i) {
        std::string w;
        const int n = 1 + static_cast<int>(rng() % 3);
        for (int k = 0; k < n; ++k) w += syl[rng() % 30];
        words.push_back(w);
    }
    return words;
}

const char* const kNeedleCjk = "量子纠缠实验";   // in 1 % of the documents
const char* const kNeedleWord = "zebrafish";      // in 5 %

struct Doc {
    std::string path;
    std::string kind;  // "" for txt
};

// Builds (or finds) the corpus; returns its documents.
std::vector<Doc> BuildCorpus(int n, uint64_t& bytes) {
    const std::string root = "/tmp/korvel-bench-index-corpus-" + std::to_string(n);
    const std::string done = root + ".complete";
    std::vector<Doc> docs;
    for (int i = 0; i < n; ++i) {
        const char* ext = i % 3 == 0 ? "txt" : i % 3 == 1 ? "docx" : "odt";
        docs.push_back({root + "/" + std::to_string(i / 1000) + "/doc" + std::to_string(i) + "." + ext,
                        i % 3 == 0 ? "" : ext});
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

// A content search as the program runs it: every folder under ./index, one call each.
int ContentSearch(const std::string& query, double& seconds) {
    const auto t0 = Clock::now();
    int hits = 0;
    DIR* d = opendir("index");
    while (struct dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        if (SearchFiles(("./index/" + std::string(e->d_name)).c_str(), query.c_str()) > 0) ++hits;
    }
    closedir(d);
    seconds = Seconds(t0, Clock::now());
    return hits;
}

int GrepCount(const std::string& query, double& seconds) {
    const auto t0 = Clock::now();
    QString out;
    RunCommand(QStringLiteral("grep -rlF \"%1\" index").arg(QString::fromStdString(query)), out);
    seconds = Seconds(t0, Clock::now());
    return static_cast<int>(out.count(u'\n'));
}

void SearchTable(int records) {
    const std::vector<std::string> queries = {kNeedleCjk, kNeedleWord, "的一是", "实验 zebrafish", "电力"};
    std::printf("\ncontent search over %d records (every record asked in turn, as the program does):\n", records);
    std::printf("  %-22s %7s %11s %11s %9s %9s\n", "query", "hits", "first (s)", "again (s)", "grep (s)", "ratio");
    for (const auto& q : queries) {
        double first = 0, again = 0, grepS = 0;
        const int hits = ContentSearch(q, first);
        ContentSearch(q, again);
        const int grepHits = GrepCount(q, grepS);
        std::printf("  %-22s %7d %11.4f %11.4f %9.4f %9.3f%s\n", q.c_str(), hits, first, again, grepS, first / grepS,
                    q.find(' ') == std::string::npos && hits != grepHits ? "  (grep differs!)" : "");
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 5000;
    uint64_t corpusBytes = 0;
    const auto docs = BuildCorpus(n, corpusBytes);

    const std::string work = "/tmp/korvel-bench-index-work-" + std::to_string(n);
    fs::remove_all(work);
    fs::create_directories(work);
    fs::current_path(work);
    qputenv("KORVEL_WORD2", KORVEL_WORD2);

    std::printf("corpus: %d documents (txt, docx, odt in equal parts), %.1f MB\n", n, corpusBytes / 1048576.0);
    const long rssBefore = StatusKb("VmRSS:");
    double extractSeconds = 0;
    int failed = 0;
    const auto t0 = Clock::now();
    const double cpu0 = CpuSeconds(RUSAGE_SELF);
    for (int i = 0; i < n; ++i) {
        const QString path = QString::fromStdString(docs[i].path);
        const QString kind = QString::fromStdString(docs[i].kind);
        const QString id = QString::number(i + 1);
        if (kind.isEmpty()) {
            ContentIndex::Index(path, id);
        } else {
            const auto e0 = Clock::now();
            const bool ok = RunExtractor(path, kind);
            extractSeconds += Seconds(e0, Clock::now());
            if (!ok) {
                ++failed;
                continue;
            }
            ContentIndex::Index(ExtractedTextPath(), id);
        }
    }
    SearchFiles("1", "flush");  // the last commit happens before a search
    const double total = Seconds(t0, Clock::now());
    const double libraryCpu = CpuSeconds(RUSAGE_SELF) - cpu0;
    const double extractorCpu = CpuSeconds(RUSAGE_CHILDREN);
    struct rusage children;
    getrusage(RUSAGE_CHILDREN, &children);
    const uint64_t textBytes = TreeBytes("index");
    const uint64_t storeBytes = TreeBytes("KRVLINDEX");

    std::printf("indexing: %.1f s, %.1f documents/s, %.2f MB/s of files, %.2f MB/s of text (%d failed)\n", total,
                n / total, corpusBytes / 1048576.0 / total, textBytes / 1048576.0 / total, failed);
    std::printf("  of which waiting for the extractor (word2 processes): %.1f s\n", extractSeconds);
    std::printf("  processor time: indexing process %.1f s (%.1f documents and %.2f MB of text per processor second),"
                " extractors %.1f s\n",
                libraryCpu, n / libraryCpu, textBytes / 1048576.0 / libraryCpu, extractorCpu);
    std::printf("peak memory: this process %.1f MB (%.1f MB before indexing), largest extractor %.1f MB\n",
                StatusKb("VmHWM:") / 1024.0, rssBefore / 1024.0, children.ru_maxrss / 1024.0);
    std::printf("on disk: store KRVLINDEX %.1f MB, texts in ./index %.1f MB; corpus %.1f MB (store/corpus %.2f)\n",
                storeBytes / 1048576.0, textBytes / 1048576.0, corpusBytes / 1048576.0,
                static_cast<double>(storeBytes) / corpusBytes);
    if (system("command -v recollindex >/dev/null 2>&1") == 0)
        std::printf("recollindex is installed, but its comparison is not built into this benchmark\n");
    else
        std::printf("recollindex: not installed, no comparison\n");

    SearchTable(n);

    // Four times the records: copies of the index folders under new ids.
    for (int copy = 1; copy < 4; ++copy)
        for (int i = 1; i <= n; ++i) {
            const std::string from = "index/" + std::to_string(i);
            if (!fs::exists(from)) continue;
            fs::copy(from, "index/" + std::to_string(copy * n + i), fs::copy_options::recursive);
        }
    const auto r0 = Clock::now();
    const double rcpu0 = CpuSeconds(RUSAGE_SELF);
    SearchFiles("1", "rebuild");
    const double rebuild = Seconds(r0, Clock::now());
    const double rebuildCpu = CpuSeconds(RUSAGE_SELF) - rcpu0;
    std::printf("\n%d copied folders taken into the store at the next search: %.1f s (%.1f documents/s;"
                " processor %.1f s, %.1f documents per processor second)\n",
                3 * n, rebuild, 3 * n / rebuild, rebuildCpu, 3 * n / rebuildCpu);
    std::printf("peak memory of this process so far: %.1f MB\n", StatusKb("VmHWM:") / 1024.0);
    SearchTable(4 * n);
    return 0;
}
