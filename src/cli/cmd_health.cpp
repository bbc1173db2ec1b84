// korvel-cli check, relink and duplicates: the catalogue's health over the same core as
// the window's CHECK, FIND MOVED FILES and FIND DUPLICATES.
#include "cli/commands.h"

#include "base/fsutil.h"
#include "health/check.h"
#include "health/recordscan.h"
#include "health/duplicates.h"
#include "health/relink.h"
#include "store/catalogue.h"
#include "tree/nodes.h"

#include "base/longop.h"
#include "session/session.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <thread>

namespace korvel::cli {
namespace {

const QString kCheckUsage = QStringLiteral(
    "check [--node ID | ID...]\n"
    "      every record (of the node with its sub-nodes, or the ids given; else all) by its file:\n"
    "      CLASS TAB id TAB path for each record not present and unchanged (CLASS changed, missing\n"
    "      or offline: its disk is not mounted), then the summary lines\n"
    "      summary TAB CLASS TAB count (present, changed, missing, offline, unreadable) and\n"
    "      disk TAB identity TAB mounted|not mounted TAB mount point, or the roots where it was seen\n"
    "      TAB present TAB changed TAB missing TAB offline TAB unreadable;\n"
    "      a path that cannot be looked at is an error (unreadable, never missing)");

const QString kRelinkUsage = QStringLiteral(
    "relink [--under DIR]... [--apply] [--allow-shared] ID...\n"
    "      finds the moved files of missing records and backup copies on their own disk (below\n"
    "      each DIR on it, else the whole disk): id TAB old path TAB new path per unique match\n"
    "      (stored with --apply, all in one transaction), ambiguous TAB id TAB old path per\n"
    "      record with several matches; a file another record names only with --allow-shared");

const QString kDuplicatesUsage = QStringLiteral(
    "duplicates [--node ID] [--min-size N]\n"
    "      records whose files hold the same bytes: group TAB id TAB size TAB path per record,\n"
    "      groups numbered from 1, most wasted space first; groups of records naming one file\n"
    "      (same disk and path, or hard links) follow; files under N bytes (default 1) left out");

// Ctrl+C stops a long run between files; what was found so far is still printed. While it
// lives, SIGINT is blocked for the calling thread (and the threads it starts) and a thread
// of its own waits for it and stops op: the signal reaches the command's operation without
// a flag of the process.
class InterruptStops {
public:
    explicit InterruptStops(LongOperation& op) : op_(op) {
        op_.Start();
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        pthread_sigmask(SIG_BLOCK, &set, &old_);
        signal_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
        wake_ = eventfd(0, EFD_CLOEXEC);
        if (signal_ < 0 || wake_ < 0) return;  // Ctrl+C then waits for the end of the run
        waiter_ = std::thread([this] {
            pollfd fds[2] = {{signal_, POLLIN, 0}, {wake_, POLLIN, 0}};
            for (;;) {
                if (::poll(fds, 2, -1) < 0) {
                    if (errno == EINTR) continue;
                    return;
                }
                if (fds[1].revents) return;
                if (fds[0].revents) {
                    signalfd_siginfo info;
                    if (::read(signal_, &info, sizeof info) > 0) op_.RequestStop();
                }
            }
        });
    }
    ~InterruptStops() {
        if (waiter_.joinable()) {
            const uint64_t one = 1;
            if (::write(wake_, &one, sizeof one) < 0) {
            }
            waiter_.join();
        }
        if (signal_ >= 0) {
            // A Ctrl+C that came after the run is taken here, not by the default action
            // once the signal is unblocked.
            signalfd_siginfo info;
            while (::read(signal_, &info, sizeof info) > 0) {
            }
            ::close(signal_);
        }
        if (wake_ >= 0) ::close(wake_);
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    InterruptStops(const InterruptStops&) = delete;
    InterruptStops& operator=(const InterruptStops&) = delete;

private:
    LongOperation& op_;
    sigset_t old_;
    int signal_ = -1;
    int wake_ = -1;
    std::thread waiter_;
};

// --node ID or ids: the scope; nullopt after the refusal was printed (its outcome in *fail).
std::optional<RowQuery> ScopeOf(Session& s, QStringList& args, const QString& usage, bool idsAllowed, Outcome* fail) {
    const int at = args.indexOf(QStringLiteral("--node"));
    if (at >= 0 && at + 1 >= args.size()) {
        *fail = Refuse(QStringLiteral("--node needs a value"));
        return std::nullopt;
    }
    const QString node = TakeOption(args, QStringLiteral("--node"));
    if (!node.isEmpty()) {
        if (!args.isEmpty()) {
            *fail = Refuse(QStringLiteral("usage: ") + usage);
            return std::nullopt;
        }
        if (!IsIdText(node) || !KnownNode(s, node)) {
            *fail = RefuseNoNode(node);
            return std::nullopt;
        }
        return NodeRecordsScope(NodeAllTags(node, s.nodes.map));
    }
    if (args.isEmpty()) return RowQuery{};  // every record
    if (!idsAllowed) {
        *fail = Refuse(QStringLiteral("usage: ") + usage);
        return std::nullopt;
    }
    for (const QString& id : args)
        if (!IsIdText(id)) {
            *fail = Refuse(QStringLiteral("not a record id: %1").arg(id));
            return std::nullopt;
        }
    return SelectedRecordsScope(args);
}

Outcome RunCheck(Session& s, const QStringList& input) {
    QStringList args = input;
    Outcome fail;
    const std::optional<RowQuery> scope = ScopeOf(s, args, kCheckUsage, true, &fail);
    if (!scope) return fail;
    InterruptStops interrupt(s.ops.health);
    CheckReport report;
    try {
        report = CheckRecords(
            s.catalogue, *scope, s.ops.health.StopToken(), {},
            [](const ScannedRecord& r) {
                if (r.state == ScanState::Changed || r.state == ScanState::Missing || r.state == ScanState::Offline)
                    Out(ScanStateName(r.state) + u'\t' + JoinFields({QString::number(r.id), r.dir}));
            },
            ScanOptions{});
    } catch (const DbError& e) {
        return Failed(e.description());
    }
    for (int state = 0; state < kScanStates; ++state)
        Out(JoinFields({QStringLiteral("summary"), ScanStateName(static_cast<ScanState>(state)),
                        QString::number(report.counts[state])}));
    for (const CheckedDisk& d : report.disks) {
        QStringList f{QStringLiteral("disk"), d.identity,
                      d.mounted ? QStringLiteral("mounted") : QStringLiteral("not mounted"),
                      d.mounted ? d.mountPoint : d.roots.join(u';')};
        for (qint64 n : d.counts) f << QString::number(n);
        Out(JoinFields(f));
    }
    std::fflush(stdout);
    for (const CheckReport::Problem& p : report.unreadable)
        Fail(QStringLiteral("cannot look at %1 (record %2): %3").arg(p.path).arg(p.id).arg(p.why));
    if (report.stopped) Fail(QStringLiteral("stopped: only part of the records were checked"));
    qint64 checked = 0;
    for (qint64 n : report.counts) checked += n;
    const qint64 unreadable = static_cast<qint64>(report.unreadable.size());
    if (report.stopped || unreadable > 0) return Outcome::Partial(checked - unreadable, unreadable);
    return Outcome::Finished(checked);
}

Outcome RunRelink(Session& s, const QStringList& input) {
    QStringList args = input;
    RelinkOptions options;
    for (;;) {
        const int at = args.indexOf(QStringLiteral("--under"));
        if (at < 0) break;
        if (at + 1 >= args.size()) return Refuse(QStringLiteral("--under needs a folder"));
        const QString folder = ArgumentPath(args[at + 1]);
        args.remove(at, 2);
        if (IsFolderPath(folder))
            options.under << folder;
        else
            return Refuse(QStringLiteral("not a folder: %1").arg(folder));
    }
    const bool apply = TakeFlag(args, QStringLiteral("--apply"));
    options.allowTaken = TakeFlag(args, QStringLiteral("--allow-shared"));
    if (args.isEmpty()) return Refuse(QStringLiteral("usage: ") + kRelinkUsage);
    for (const QString& id : args)
        if (!IsIdText(id)) return Refuse(QStringLiteral("not a record id: %1").arg(id));
    InterruptStops interrupt(s.ops.health);
    RelinkPlan plan;
    RelinkApplied done;
    try {
        plan = FindMovedFiles(s.catalogue, SelectedRecordsScope(args), options, s.ops.health.StopToken(), {});
        if (plan.stopped) return Failed(QStringLiteral("stopped: nothing was changed"));
        if (apply && !plan.unique.empty()) {
            done = ApplyRelink(s.catalogue, plan.unique, s.ops.health.StopToken());
            if (done.stopped) return Failed(QStringLiteral("stopped: nothing was changed"));
        }
    } catch (const DbError& e) {
        return Failed(e.description());
    }
    for (const RelinkProposal& p : plan.unique) Out(JoinFields({QString::number(p.id), p.oldPath, p.newPath}));
    for (const RelinkProposal& p : plan.ambiguous)
        Out(JoinFields({QStringLiteral("ambiguous"), QString::number(p.id), p.oldPath}));
    std::fflush(stdout);
    for (const RelinkProposal& p : plan.taken)
        std::fprintf(stderr, "korvel-cli: record %lld: %s is already named by record %lld (--allow-shared takes it)\n",
                     static_cast<long long>(p.id), EncodePath(p.candidates.join(QStringLiteral(" | "))).constData(),
                     static_cast<long long>(p.takenBy));
    for (const QString& problem : plan.problems) Fail(problem);
    const qint64 found = static_cast<qint64>(plan.unique.size());
    if (!plan.problems.isEmpty()) return Outcome::Partial(found, static_cast<qint64>(plan.problems.size()));
    return Outcome::Finished(found);
}

Outcome RunDuplicates(Session& s, const QStringList& input) {
    QStringList args = input;
    DuplicateOptions options;
    const int at = args.indexOf(QStringLiteral("--min-size"));
    if (at >= 0) {
        bool ok = false;
        const qlonglong n = at + 1 < args.size() ? args[at + 1].toLongLong(&ok) : 0;
        if (!ok || n < 0) return Refuse(QStringLiteral("--min-size needs a number of bytes"));
        options.minSize = static_cast<quint64>(n);
        args.remove(at, 2);
    }
    Outcome fail;
    const std::optional<RowQuery> scope = ScopeOf(s, args, kDuplicatesUsage, false, &fail);
    if (!scope) return fail;
    InterruptStops interrupt(s.ops.health);
    DuplicateReport report;
    try {
        report = FindDuplicates(s.catalogue, *scope, options, s.ops.health.StopToken(), {});
    } catch (const DbError& e) {
        return Failed(e.description());
    }
    if (report.stopped) return Failed(QStringLiteral("stopped"));
    for (size_t i = 0; i < report.groups.size(); ++i)
        for (const DuplicateMember& m : report.groups[i].members)
            Out(JoinFields(
                {QString::number(i + 1), QString::number(m.id), QString::number(report.groups[i].size), m.path}));
    std::fflush(stdout);
    for (const QString& problem : report.problems) Fail(problem);
    const qint64 groups = static_cast<qint64>(report.groups.size());
    if (!report.problems.isEmpty()) return Outcome::Partial(groups, static_cast<qint64>(report.problems.size()));
    return Outcome::Finished(groups);
}

CliRegistrar regCheck({QStringLiteral("check"), kCheckUsage, true, RunCheck});
CliRegistrar regRelink({QStringLiteral("relink"), kRelinkUsage, true, RunRelink});
CliRegistrar regDuplicates({QStringLiteral("duplicates"), kDuplicatesUsage, true, RunDuplicates});

}  // namespace
}  // namespace korvel::cli
