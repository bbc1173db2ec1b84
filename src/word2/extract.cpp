#include "extract.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>
#include <pugixml.hpp>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

extern char** environ;

namespace word2 {

namespace {

// --- Zip + XML ------------------------------------------------------------------------

enum class Format { Docx, Pptx, Xlsx, Odf };

std::string_view LocalName(const char* name) {
    std::string_view n(name);
    const size_t colon = n.find(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

// Number inside a member name such as "ppt/slides/slide12.xml" (for ordering).
long NumberIn(const std::string& name) {
    long n = 0;
    bool any = false;
    for (char c : name) {
        if (c >= '0' && c <= '9') {
            n = n * 10 + (c - '0');
            any = true;
            if (n > 100000000) break;
        } else if (any) {
            break;
        }
    }
    return n;
}

// Which members of the container hold text, and in which order they are read.
int MemberRank(Format f, const std::string& name) {  // < 0: not read
    switch (f) {
        case Format::Docx:
            if (name == "word/document.xml") return 0;
            if (name == "word/footnotes.xml") return 1;
            if (name == "word/endnotes.xml") return 2;
            return -1;
        case Format::Pptx:
            if (name.starts_with("ppt/slides/slide") && name.ends_with(".xml") &&
                name.find('/', 11) == std::string::npos)
                return 1;
            return -1;
        case Format::Xlsx:
            if (name == "xl/sharedStrings.xml") return 0;
            if (name.starts_with("xl/worksheets/sheet") && name.ends_with(".xml")) return 1;
            return -1;
        case Format::Odf: return name == "content.xml" ? 0 : -1;
    }
    return -1;
}

// Walks the tree without recursion (a deeply nested hostile file cannot exhaust the stack)
// and writes the text of the kind's text elements.
void WalkXml(Format f, const pugi::xml_node& root, TextSink& sink) {
    auto takesText = [&](const pugi::xml_node& parent) {
        const std::string_view p = LocalName(parent.name());
        switch (f) {
            case Format::Docx:
            case Format::Pptx: return p == "t";
            case Format::Xlsx:
                if (p == "t") return true;
                if (p == "v") {
                    // A value of a shared-string cell is only an index into the shared strings.
                    const pugi::xml_node cell = parent.parent();
                    return std::strcmp(cell.attribute("t").value(), "s") != 0;
                }
                return false;
            case Format::Odf: return true;
        }
        return false;
    };
    auto onEnter = [&](const pugi::xml_node& n) {
        const std::string_view name = LocalName(n.name());
        if (f == Format::Odf) {
            if (name == "s") {
                int count = n.attribute("text:c").as_int(1);
                count = std::clamp(count, 1, 1000);
                sink.Add(std::string(static_cast<size_t>(count), ' '));
            } else if (name == "tab") {
                sink.Add("\t");
            } else if (name == "line-break") {
                sink.Add("\n");
            }
        } else if (name == "tab" && f == Format::Docx) {
            sink.Add("\t");
        } else if ((name == "br" || name == "cr") && f != Format::Xlsx) {
            sink.Add("\n");
        }
    };
    auto onLeave = [&](const pugi::xml_node& n) {
        const std::string_view name = LocalName(n.name());
        switch (f) {
            case Format::Docx:
            case Format::Pptx:
                if (name == "p") sink.EndLine();
                break;
            case Format::Xlsx:
                if (name == "si" || name == "row")
                    sink.EndLine();
                else if (name == "c")
                    sink.Add("\t");
                break;
            case Format::Odf:
                if (name == "p" || name == "h" || name == "table-row")
                    sink.EndLine();
                else if (name == "table-cell")
                    sink.Add("\t");
                break;
        }
    };

    pugi::xml_node n = root.first_child();
    while (n && !sink.full) {
        if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) {
            if (takesText(n.parent())) sink.Add(n.value());
        } else if (n.type() == pugi::node_element) {
            onEnter(n);
            if (n.first_child()) {
                n = n.first_child();
                continue;
            }
            onLeave(n);
        }
        // Next sibling, climbing up (and leaving elements) as needed.
        while (n && !n.next_sibling()) {
            n = n.parent();
            if (!n || n == root) {
                n = pugi::xml_node();
                break;
            }
            onLeave(n);
        }
        if (n) n = n.next_sibling();
    }
}

}  // namespace

bool ExtractZipXml(const std::string& path, const std::string& kind, const Limits& limits, std::string& out,
                   std::string& error) {
    Format f;
    if (kind == "docx")
        f = Format::Docx;
    else if (kind == "pptx")
        f = Format::Pptx;
    else if (kind == "xlsx")
        f = Format::Xlsx;
    else
        f = Format::Odf;

    std::map<std::string, std::string> read;
    if (!ReadZipMembers(
            path, limits, [f](const std::string& name) { return MemberRank(f, name) >= 0; }, read, error))
        return false;
    // Members in reading order: (rank, number in name, name) -> content.
    std::map<std::tuple<int, long, std::string>, std::string> members;
    for (auto& [name, data] : read)
        members.emplace(std::make_tuple(MemberRank(f, name), NumberIn(name), name), std::move(data));
    if (members.empty()) {
        error = "no text member of a " + kind + " file";
        return false;
    }
    TextSink sink{out, limits.maxOutputBytes};
    for (auto& m : members) {
        pugi::xml_document doc;
        std::string& data = m.second;
        const pugi::xml_parse_result pr =
            doc.load_buffer_inplace(data.data(), data.size(), pugi::parse_default | pugi::parse_ws_pcdata_single);
        if (!pr) {
            error = "damaged XML in " + std::get<2>(m.first) + ": " + pr.description();
            return false;
        }
        WalkXml(f, doc, sink);
        sink.EndLine();
        data.clear();
        data.shrink_to_fit();
        if (sink.full) break;
    }
    return true;
}

bool ExtractPdf(const std::string& path, const Limits& limits, std::string& out, std::string& error) {
    poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr);
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(path));
    if (!doc) {
        error = "not a readable pdf file";
        return false;
    }
    if (doc->is_locked()) {
        error = "the pdf file is protected by a password";
        return false;
    }
    TextSink sink{out, limits.maxOutputBytes};
    const int pages = doc->pages();
    for (int i = 0; i < pages && !sink.full; ++i) {
        std::unique_ptr<poppler::page> p(doc->create_page(i));
        if (!p) continue;
        const std::vector<char> utf8 = p->text().to_utf8();
        sink.Add(std::string_view(utf8.data(), utf8.size()));
        sink.EndLine();
    }
    return true;
}

namespace {

// Runs a helper program with its standard output in `out` (cut at the output limit).
// False when it cannot start, runs too long or ends with an error.
bool RunTool(const std::vector<std::string>& args, const Limits& limits, std::string& out) {
    out.clear();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& s : args) argv.push_back(const_cast<char*>(s.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    // The helper stays in our process group: whoever kills ours kills it too. It inherits
    // our resource limits.
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return false;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(limits.childSeconds);
    bool killed = false;
    char buf[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            killed = true;
            break;
        }
        struct pollfd pfd = {fds[0], POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            killed = true;
            break;
        }
        const ssize_t got = ::read(fds[0], buf, sizeof buf);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        const size_t room = limits.maxOutputBytes - out.size();
        out.append(buf, std::min(room, static_cast<size_t>(got)));
        if (out.size() >= limits.maxOutputBytes) {
            ::kill(pid, SIGKILL);  // enough text; the rest is not wanted
            break;
        }
    }
    if (killed) ::kill(pid, SIGKILL);
    ::close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (killed) return false;
    if (out.size() >= limits.maxOutputBytes) return true;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool ExtractWithTools(const std::string& path, const std::string& kind, const Limits& limits, std::string& out,
                      std::string& error) {
    std::vector<std::vector<std::string>> tries;
    if (kind == "doc") {
        tries.push_back({"catdoc", "-d", "utf-8", "-w", path});
        tries.push_back({"antiword", "-m", "UTF-8.txt", "-w", "0", path});
    } else if (kind == "xls") {
        // Cells as comma-separated values; the text's words are what is indexed.
        tries.push_back({"xls2csv", "-d", "utf-8", "-q", "0", path});
    } else if (kind == "rtf") {
        // As HTML: unrtf's text output loses every character outside its code page, while
        // its HTML keeps them all (as character references).
        tries.push_back({"unrtf", "--nopict", "--html", path});
    } else {
        tries.push_back({"catppt", "-d", "utf-8", path});
    }
    for (const auto& t : tries) {
        std::string text;
        if (RunTool(t, limits, text) && !text.empty()) {
            if (kind == "rtf") return ExtractHtmlBytes(text, limits, out, error);
            out += text;
            return true;
        }
    }
    error = "no helper program could read the " + kind + " file";
    return false;
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return false;
    }
    return true;
}

}  // namespace word2
