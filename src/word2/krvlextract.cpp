// krvlextract: a worker of the content indexer that extracts many documents, one after the
// other, with the extraction code of word2.
//
//   krvlextract SCRATCH
//
// Standard input carries requests, each two NUL-terminated fields: the kind (as word2
// takes it) and the path. For each request the worker writes the text as UTF-8 to
// SCRATCH/<n>.txt (n counts the requests from 1) and prints one line on standard output:
// "ok <n>", or "fail <reason>" (no file then). It ends at the end of its input.
//
// SCRATCH is the worker's own folder. The limits are word2's, per document where they can
// be: the address space of the process (a document that needs more fails with "out of
// memory" or ends the worker), the size of a written file, the caps on decompressed and
// written bytes; the time a document may take is watched by the indexer, which kills a
// worker that overruns it (its helper programs stay in its process group and go with it).
#include "extract.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <string>

namespace {

constexpr unsigned long long kMaxAddressSpace = 1024ull << 20;
constexpr unsigned long long kMaxFileBytes = 64ull << 20;

std::string OneLine(std::string s) {
    for (char& c : s)
        if (c == '\n' || c == '\r') c = ' ';
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: krvlextract SCRATCH\n");
        return 2;
    }
    const std::string scratch = argv[1];
#if !defined(__SANITIZE_ADDRESS__)
    word2::SetLimit(RLIMIT_AS, kMaxAddressSpace, kMaxAddressSpace);
#endif
    word2::SetLimit(RLIMIT_FSIZE, kMaxFileBytes, kMaxFileBytes);
    word2::SetLimit(RLIMIT_CORE, 0, 0);
    ::mkdir(scratch.c_str(), 0700);

    word2::Limits limits;
    std::string kind, path;
    unsigned long n = 0;
    while (std::getline(std::cin, kind, '\0') && std::getline(std::cin, path, '\0')) {
        ++n;
        std::string text, error;
        bool ok = false;
        try {
            if (word2::IsKnownKind(kind))
                ok = word2::ExtractDocument(path, kind, limits, scratch, text, error);
            else
                error = "unknown kind " + kind;
        } catch (const std::bad_alloc&) {
            error = "out of memory";
        } catch (const std::exception& e) {
            error = e.what();
        }
        if (ok) {
            const std::string target = scratch + "/" + std::to_string(n) + ".txt";
            const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            ok = fd >= 0 && word2::WriteAll(fd, text);
            if (fd >= 0 && ::close(fd) != 0) ok = false;
            if (!ok) {
                ::unlink(target.c_str());
                error = "cannot write " + target;
            }
        }
        const std::string line = ok ? "ok " + std::to_string(n) + "\n" : "fail " + OneLine(error) + "\n";
        if (!word2::WriteAll(1, line)) return 1;
    }
    return 0;
}
