#include "base/fsutil.h"

#include "base/utf8.h"

#include <QProcess>
#include <QStringList>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace korvel {

namespace {

constexpr char32_t kEscapeBase = 0xF780;  // U+F780 + (byte - 0x80)
constexpr char32_t kEscapeLast = 0xF7FF;

// Writes c as UTF-8 at out; returns the end.
char* PutUtf8(char* out, char32_t c) {
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// Writes c as one or two UTF-16 units at out; returns the end.
QChar* PutChar(QChar* out, char32_t c) {
    if (c < 0x10000) {
        *out++ = QChar(static_cast<char16_t>(c));
    } else {
        *out++ = QChar(QChar::highSurrogate(c));
        *out++ = QChar(QChar::lowSurrogate(c));
    }
    return out;
}

// stat() of a catalogue path; false for paths that can never name a file.
bool StatPath(const QString& path, struct stat& st) {
    if (path.isEmpty() || IsUnmountedDiskPath(path)) return false;
    const QByteArray native = EncodePath(path);
    if (native.contains('\0')) return false;
    return ::stat(native.constData(), &st) == 0;
}

}  // namespace

QString RecordTimeText(long long secondsSinceEpoch) {
    time_t t = static_cast<time_t>(secondsSinceEpoch);
    struct tm tmv;
    if (!localtime_r(&t, &tmv)) return QString();
    char buf[64];
    size_t n = strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tmv);
    return QString::fromLatin1(buf, static_cast<qsizetype>(n));
}

QByteArray EncodePath(const QString& path) {
    // At most 3 bytes per UTF-16 unit (a pair of units makes 4), written through a pointer
    // into a buffer of that size, cut to the bytes written at the end.
    const qsizetype n = path.size();
    QByteArray out(n * 3, Qt::Uninitialized);
    char* o = out.data();
    const QChar* in = path.constData();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = in[i].unicode();
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && in[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(in[i].unicode(), in[i + 1].unicode());
            ++i;
        } else if (QChar::isSurrogate(c)) {
            c = 0xFFFD;
        }
        if (c >= kEscapeBase && c <= kEscapeLast)
            *o++ = static_cast<char>(c - kEscapeBase + 0x80);
        else
            o = PutUtf8(o, c);
    }
    out.truncate(o - out.constData());
    return out;
}

QString DecodePath(const QByteArray& bytes) {
    // At most one UTF-16 unit per byte (4 bytes make 2 units), written through a pointer.
    const qsizetype n = bytes.size();
    QString out(n, Qt::Uninitialized);
    QChar* o = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    qsizetype i = 0;
    while (i < n) {
        if (p[i] < 0x80) {
            *o++ = QChar(static_cast<char16_t>(p[i++]));
            continue;
        }
        char32_t c = 0;
        int len = Utf8SequenceAt(p + i, n - i, c);
        if (len > 0 && !(c >= kEscapeBase && c <= kEscapeLast)) {
            o = PutChar(o, c);
            i += len;
        } else {
            // Not valid UTF-8, or an escape character written literally: escape this byte.
            // (A byte below 0x80 is always valid, so only 0x80..0xFF get here.)
            o = PutChar(o, kEscapeBase + (p[i] - 0x80));
            ++i;
        }
    }
    out.truncate(o - out.constData());
    return out;
}

bool PathHasRawBytes(const QString& path) {
    for (QChar ch : path)
        if (ch.unicode() >= kEscapeBase && ch.unicode() <= kEscapeLast) return true;
    return false;
}

std::filesystem::path FsPath(const QString& path) {
    const QByteArray native = EncodePath(path);
    return std::filesystem::path(std::string(native.constData(), static_cast<size_t>(native.size())));
}

QString FromFsPath(const std::filesystem::path& path) {
    const std::string& s = path.native();
    return DecodePath(QByteArray(s.data(), static_cast<qsizetype>(s.size())));
}

int PathKind(const QString& path) {
    struct stat st;
    if (!StatPath(path, st)) return 0;
    return S_ISDIR(st.st_mode) ? 2 : 1;
}

bool IsFolderPath(const QString& path) { return PathKind(path) == 2; }

bool PathExists(const QString& path) { return PathKind(path) != 0; }

QString OwnedTemporaryPrefix(const QString& prefix) {
    return prefix + QString::number(static_cast<long long>(::getpid())) + u'-';
}

bool IsLeftoverOfEndedProcess(const QString& name, const QString& prefix) {
    if (!name.startsWith(prefix)) return false;
    const qsizetype dash = name.indexOf(u'-', prefix.size());
    if (dash <= prefix.size()) return false;
    bool ok = false;
    const long long pid = name.mid(prefix.size(), dash - prefix.size()).toLongLong(&ok);
    if (!ok || pid <= 0 || pid > 0x7fffffff) return false;
    if (pid == ::getpid()) return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

int RemoveLeftoversOfEndedProcesses(const QString& folder, const QString& prefix) {
    int removed = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(FsPath(folder), ec), end; !ec && it != end; it.increment(ec)) {
        const QString name = FromFsPath(it->path().filename());
        if (!IsLeftoverOfEndedProcess(name, prefix)) continue;
        std::error_code ignored;
        if (std::filesystem::remove_all(it->path(), ignored) > 0) ++removed;
    }
    return removed;
}

QString FileSizeText(std::uint64_t size, SizeRule rule) {
    // Built by appending, not by arg(): an import writes one per file.
    if (size > 1048576ULL) return QString::number(static_cast<qulonglong>(size / 1024 / 1024)) + QLatin1String(" M");
    const qulonglong kib = static_cast<qulonglong>(size / 1024) + (rule == SizeRule::Update ? 1 : 0);
    return QString::number(kib) + QLatin1String(" K");
}

FileStatusTexts StatusTexts(const QString& path, SizeRule rule) {
    FileStatusTexts r;
    struct stat st;
    if (!StatPath(path, st)) return r;
    r.ok = true;
    r.sizeText = FileSizeText(static_cast<std::uint64_t>(st.st_size), rule);
    r.timeText = RecordTimeText(static_cast<long long>(st.st_mtime));
    return r;
}

int RunCommand(const QString& commandLine, QString& output, int timeoutMs) {
    output.clear();
    const QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty() || words.first().isEmpty()) return -2;

    std::vector<QByteArray> argBytes;
    for (const QString& w : words) {
        argBytes.push_back(EncodePath(w));
        if (argBytes.back().contains('\0')) return -2;
    }
    std::vector<char*> argv;
    for (auto& a : argBytes) argv.push_back(a.data());
    argv.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // A session of its own: no controlling terminal, and terminal signals of ours
    // (Ctrl+C in the shell that started Korvel) do not reach it. It also makes the child
    // the leader of a process group that a time limit can kill as a whole.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);

    pid_t pid = -1;
    const bool usesPath = !argBytes[0].contains('/');
    int rc = usesPath ? posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ)
                      : posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return -2;
    }

    using Clock = std::chrono::steady_clock;
    const bool limited = timeoutMs >= 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limited ? timeoutMs : 0);
    auto msLeft = [&]() -> int {
        if (!limited) return -1;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        return left > 0 ? static_cast<int>(left) : 0;
    };

    int result = 0;
    bool timedOut = false;
    QByteArray bytes;
    char buf[4096];
    for (;;) {
        struct pollfd pfd = {fds[0], POLLIN, 0};
        const int ready = ::poll(&pfd, 1, msLeft());
        if (ready == 0) {
            timedOut = true;
            break;
        }
        if (ready < 0) {
            if (errno == EINTR) continue;
            result = -3;
            break;
        }
        ssize_t got = ::read(fds[0], buf, sizeof buf);
        if (got > 0) {
            bytes.append(buf, got);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            result = -4;
            break;
        }
    }
    ::close(fds[0]);
    int status = 0;
    if (limited && !timedOut) {
        // The output is closed; the process may still be running.
        for (;;) {
            const pid_t w = waitpid(pid, &status, WNOHANG);
            if (w == pid || (w < 0 && errno != EINTR)) break;
            if (msLeft() == 0) {
                timedOut = true;
                break;
            }
            ::usleep(5000);
        }
        if (!timedOut) pid = -1;  // reaped
    }
    if (timedOut) ::kill(-pid, SIGKILL);
    if (pid > 0)
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    output = QString::fromUtf8(bytes);
    if (timedOut) return kRunCommandTimedOut;
    return result;
}

QString FreeNumberedName(const QString& folder, const QString& prefix, const QString& name) {
    QString dir = folder;
    if (!dir.isEmpty()) {
        while (dir.endsWith(u'/')) dir.chop(1);
        dir += u'/';
    }
    if (!IsFolderPath(dir)) return QString();
    QString candidate = dir + prefix + name;
    for (int n = 0; n < 1000; ++n) {
        if (!PathExists(candidate)) return candidate;
        candidate = dir + prefix + QString::number(n) + u'_' + name;
    }
    return QString();
}

}  // namespace korvel
