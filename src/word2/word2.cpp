// word2: the text extractor of the content indexer.
//
//   word2  "<path>" <kind>
//
// kind is one of extract.h's kinds: txt, html, epub, rtf, doc, ppt, xls, docx, pptx, xlsx,
// odt, odp, ods, pdf, or one of them + ".gz" for a gzip-compressed file. The text of the file is
// written as UTF-8 to "./temp2/1.txt" (relative to the working directory; the folder is
// made when missing) and the program prints "success". On any failure it prints the reason
// to standard error, leaves "./temp2/1.txt" as it was and exits with status 1.
//
// A hostile file is met with limits on the process itself (and thereby on the helper
// programs it starts, which inherit them): address space, processor time, a wall-clock
// alarm, the size of a written file, and caps on decompressed and written bytes. The text
// is written to a temporary name and renamed, so no partial "1.txt" is ever left.
#include "extract.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr rlim_t kMaxAddressSpace = 1024ull << 20;
constexpr rlim_t kMaxCpuSeconds = 45;
constexpr unsigned kMaxWallSeconds = 55;
constexpr rlim_t kMaxFileBytes = 64ull << 20;

int Fail(const std::string& why) {
    std::fprintf(stderr, "word2: %s\n", why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return Fail("usage: word2 \"<path>\" <kind>");
    const std::string path = argv[1];
    const std::string kind = argv[2];

#if !defined(__SANITIZE_ADDRESS__)
    // (A build with the address sanitizer reserves terabytes of address space.)
    word2::SetLimit(RLIMIT_AS, kMaxAddressSpace, kMaxAddressSpace);
#endif
    word2::SetLimit(RLIMIT_CPU, kMaxCpuSeconds, kMaxCpuSeconds + 5);
    word2::SetLimit(RLIMIT_FSIZE, kMaxFileBytes, kMaxFileBytes);
    word2::SetLimit(RLIMIT_CORE, 0, 0);
    alarm(kMaxWallSeconds);

    // Only a regular file is read: a pipe, socket or device is refused before it is opened
    // (opening a pipe waits for a writer that may never come).
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return Fail(path + ": " + std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return Fail(path + ": not a regular file");

    word2::Limits limits;
    std::string text, error;
    bool ok = false;
    try {
        if (word2::IsKnownKind(kind))
            ok = word2::ExtractDocument(path, kind, limits, "temp2", text, error);
        else
            error = "unknown kind " + kind;
    } catch (const std::bad_alloc&) {
        ok = false;
        error = "out of memory";
    } catch (const std::exception& e) {
        ok = false;
        error = e.what();
    }
    if (!ok) return Fail(path + ": " + error);

    ::mkdir("temp2", 0755);
    const std::string target = "temp2/1.txt";
    const std::string tmp = "temp2/1.txt." + std::to_string(::getpid()) + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return Fail("cannot write " + tmp + ": " + std::strerror(errno));
    const bool written = word2::WriteAll(fd, text);
    if (::close(fd) != 0 || !written || ::rename(tmp.c_str(), target.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return Fail("cannot write " + target);
    }
    std::printf("success\n");
    return 0;
}
