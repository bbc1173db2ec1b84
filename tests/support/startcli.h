#pragma once
// korvel-cli started in the background with its standard output on a pipe, for tests that
// stop or kill it part way.

#include <QByteArray>
#include <QList>

#include <spawn.h>
#include <sys/types.h>
#include <unistd.h>

#include <vector>

extern char** environ;

// pid is 0 when it could not be started.
struct RunningCli {
    pid_t pid = 0;
    int out = -1;  // read end of its standard output; the test closes it
};
inline RunningCli StartCli(const QList<QByteArray>& args) {
    RunningCli r;
    int fds[2];
    if (::pipe(fds) != 0) return r;
    const QByteArray cli = KORVEL_CLI;
    std::vector<char*> argv{const_cast<char*>(cli.constData())};
    for (const QByteArray& a : args) argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    if (posix_spawn(&r.pid, cli.constData(), &actions, nullptr, argv.data(), environ) != 0) r.pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (r.pid == 0) {
        ::close(fds[0]);
        return r;
    }
    r.out = fds[0];
    return r;
}
