#pragma once
// korvel-cli run as a real process in a working folder, and a fixture with a fresh working
// folder holding a new catalogue (korvel-cli init), for the CLI tests.

#include "support/workdir.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

struct CliResult {
    int status;
    QStringList lines;  // standard output, one entry per line
    QString err;
    QByteArray out;  // standard output as bytes
};

// Runs korvel-cli with --dir dir and args. With viaShell, args are shell words given to
// /bin/sh after the program and --dir (so printf can make bytes that are not UTF-8).
inline CliResult RunCliIn(const QString& dir, const QStringList& args, bool viaShell = false) {
    QProcess p;
    if (viaShell)
        p.start("/bin/sh", {"-c", "exec \"$0\" --dir \"$1\" " + args.join(' '), QStringLiteral(KORVEL_CLI), dir});
    else
        p.start(QStringLiteral(KORVEL_CLI), QStringList{"--dir", dir} + args);
    p.waitForFinished(600000);
    const QByteArray out = p.readAllStandardOutput();
    QStringList lines = QString::fromUtf8(out).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, lines,
            QString::fromUtf8(p.readAllStandardError()), out};
}

inline CliResult RunCli(const QString& dir, const QStringList& args) { return RunCliIn(dir, args); }

class CliFixture : public ::testing::Test {
protected:
    TempWorkDir dir;
    void SetUp() override { ASSERT_EQ(Run({"init"}).status, 0); }
    CliResult Run(const QStringList& args) { return RunCli(dir.path(), args); }
    // The single line printed by a successful command.
    QString One(const QStringList& args) {
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        return r.lines.value(0);
    }
};
