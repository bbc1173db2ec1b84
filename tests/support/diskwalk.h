#pragma once
// Base of the tests that walk a folder tree into the catalogue (import, node tree from
// folders): a working folder with a fresh open catalogue, an empty folder `disk` to walk
// and a scripted prompter. Nodes are loaded before each test; the walk hook, the node
// map and the status queue are emptied after it.

#include "base/fsutil.h"
#include "support/state.h"
#include "base/longop.h"
#include "io/importcore.h"
#include "support/catalogue.h"
#include "support/scripted_prompter.h"
#include "tree/nodes.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A file of size bytes (zeros) at a native path, replacing one that is there.
inline void MakeFile(const QByteArray& path, qint64 size = 1) {
    int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    if (size > 0) {
        ASSERT_EQ(::ftruncate(fd, size), 0);
    }
    ::close(fd);
}

inline void MakeDir(const QByteArray& path) { ASSERT_EQ(::mkdir(path.constData(), 0755), 0) << path.constData(); }

// The options with the entry hook of the test's session, for the walks a test runs itself.
inline korvel::ImportOptions WithHook(korvel::ImportOptions options) {
    options.entryHook = S().presets.entryHook;
    return options;
}

class DiskWalkTest : public ::testing::Test {
protected:
    TempCatalogue work;
    QTemporaryDir diskDir;
    ScriptedPrompter prompts;
    QByteArray disk = QFile::encodeName(diskDir.path());

    void SetUp() override {
        ReloadNodes(S().nodes, S().catalogue);
        S().ops.import.TakeAll();
    }
    void TearDown() override {
        S().presets.entryHook = {};
        S().nodes.map.clear();
        S().ops.import.TakeAll();
        // By bytes: the toolkit's own removal misses names that are not UTF-8.
        std::error_code ignored;
        std::filesystem::remove_all(disk.constData(), ignored);
    }
    // The catalogue text of a path below disk.
    QString P(const QByteArray& relative) const { return korvel::DecodePath(disk + "/" + relative); }
};
