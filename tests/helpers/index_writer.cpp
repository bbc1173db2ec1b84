// Test helper: indexes numbered texts without end (or up to a count) in the working
// directory, so that a test can kill it in the middle of indexing.
//
//   krvlindex_writer [count]
//   krvlindex_writer rebuild n    n steps of the rebuild of a store of an older layout
//                                 (IndexFilesRebuild, one record each; prints what each
//                                 left), then kills itself
//   krvlindex_writer count plan   records 1 to count as one batch, planned (IndexFilesPlan)
//                                 and handed over taking the groups in turn, as the index
//                                 job does
//   krvlindex_writer search QUERY prints the id of every record the query matches, one per
//                                 line, as a process that starts searching finds them
//
// Text i holds the word "w<i>", a Chinese sentence and some 45 KB of filler (a commit falls due every few hundred
// texts).
#include <krvlindex.h>

#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "search") {
        SearchIndexedFiles(
            argv[2], [](const char* id, float, void*) { std::printf("%s\n", id); }, nullptr);
        return 0;
    }
    if (argc > 2 && std::string(argv[1]) == "rebuild") {
        // Steps of rebuilding a store of an older layout, then a kill in the middle.
        for (long k = std::atol(argv[2]); k > 0; --k) std::printf("%d\n", IndexFilesRebuild(0));
        std::fflush(stdout);
        ::raise(SIGKILL);
    }
    const long count = argc > 1 ? std::atol(argv[1]) : -1;
    const bool plan = argc > 2 && std::string(argv[2]) == "plan" && count > 0;
    ::mkdir("src", 0755);
    std::string filler;
    for (int k = 0; k < 900; ++k) filler += "lorem ipsum dolor sit amet 内容索引测试 ";
    std::vector<long> order;
    if (plan) {
        std::vector<std::string> ids;
        for (long i = 1; i <= count; ++i) ids.push_back(std::to_string(i));
        std::vector<const char*> ptrs;
        for (const std::string& id : ids) ptrs.push_back(id.c_str());
        std::vector<int> groups(ids.size());
        const int n = IndexFilesPlan(ptrs.data(), static_cast<int>(ptrs.size()), groups.data());
        std::vector<std::vector<long>> byGroup(static_cast<size_t>(n));
        for (size_t k = 0; k < ids.size(); ++k)
            byGroup[static_cast<size_t>(groups[k])].push_back(static_cast<long>(k) + 1);
        for (size_t k = 0; order.size() < ids.size(); ++k)
            for (const auto& g : byGroup)
                if (k < g.size()) order.push_back(g[k]);
    }
    for (long k = 0; plan ? k < count : (count < 0 || k < count); ++k) {
        const long i = plan ? order[static_cast<size_t>(k)] : k;
        const std::string file = "src/" + std::to_string(i) + ".txt";
        FILE* f = std::fopen(file.c_str(), "wb");
        if (!f) return 1;
        const std::string text = "record w" + std::to_string(i) + " 崩溃安全\n" + filler;
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        if (plan)
            IndexFilesFrom(file.c_str(), ("./index/" + std::to_string(i)).c_str(),
                           ("source " + std::to_string(i)).c_str());
        else
            IndexFiles(file.c_str(), ("./index/" + std::to_string(i)).c_str(), false);
    }
    if (plan) IndexFilesFrom(nullptr, nullptr, nullptr);
    return 0;
}
