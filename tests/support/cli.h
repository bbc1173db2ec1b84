#pragma once
// korvel-cli run as a real process in a fresh working folder with a new catalogue
// (korvel-cli init), for the CLI tests.

#include "support/workdir.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

struct CliResult {
    int status;
    QStringList lines;  // standard output, one entry per line
    QString err;
};

// Runs korvel-cli in the given working folder.
inline CliResult RunCli(const QString& dir, const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(KORVEL_CLI), QStringList{"--dir", dir} + args);
    p.waitForFinished(600000);
    QString out = QString::fromUtf8(p.readAllStandardOutput());
    QStringList lines = out.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, lines,
            QString::fromUtf8(p.readAllStandardError())};
}

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
