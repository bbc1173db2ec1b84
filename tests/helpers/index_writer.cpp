// Test helper: indexes numbered texts without end (or up to a count) in the working
// directory, so that a test can kill it in the middle of indexing.
//
//   krvlindex_writer [count]
//
// Text i holds the word "w<i>", a Chinese sentence and some 45 KB of filler (a commit falls due every few hundred
// texts).
#include <krvlindex.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const long count = argc > 1 ? std::atol(argv[1]) : -1;
    ::mkdir("src", 0755);
    std::string filler;
    for (int k = 0; k < 900; ++k) filler += "lorem ipsum dolor sit amet 内容索引测试 ";
    for (long i = 0; count < 0 || i < count; ++i) {
        const std::string file = "src/" + std::to_string(i) + ".txt";
        FILE* f = std::fopen(file.c_str(), "wb");
        if (!f) return 1;
        const std::string text = "record w" + std::to_string(i) + " 崩溃安全\n" + filler;
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        IndexFiles(file.c_str(), ("./index/" + std::to_string(i)).c_str(), false);
    }
    return 0;
}
