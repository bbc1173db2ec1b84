#include "base/settings.h"
#include "support/state.h"
#include "app/startup.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "support/workdir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace korvel;

namespace {
struct Closer {
    ~Closer() {
        S().pageset.Close();
        S().catalogue.Close();
    }
};
}  // namespace

// A new working folder gets list columns fitted to their contents; widths a config.cnf
// holds already, and its other keys, stay as they are; a key missing later reads 80.
TEST(Startup, NewFolderGetsFittedColumnWidths) {
    {
        TempWorkDir dir;
        ASSERT_EQ(InitWorkingDirectory(nullptr), InitResult::Created);
        for (int c = 0; c < 11; ++c) EXPECT_EQ(ReadColumnWidth(c), FittedColumnWidth(c)) << c;
        // Name, tags and path wide; a whole time fits; nothing left at the old 80.
        for (int c : {0, 1, 2}) EXPECT_GE(ReadColumnWidth(c), 200) << c;
        for (int c : {6, 7}) EXPECT_GE(ReadColumnWidth(c), 150) << c;
        for (int c = 0; c < 11; ++c) EXPECT_GT(ReadColumnWidth(c), 80) << c;
        // A second init on the existing catalogue writes nothing.
        ASSERT_TRUE(WriteSetting("width", "4", "33"));
        EXPECT_EQ(InitWorkingDirectory(nullptr), InitResult::Existing);
        EXPECT_EQ(ReadColumnWidth(4), 33);
    }
    {
        TempWorkDir dir;
        {
            QFile f("config.cnf");
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("[flag]\r\ng_same_flag=0\r\n[width]\r\n2 = 55\r\n");
        }
        ASSERT_EQ(InitWorkingDirectory(nullptr), InitResult::Created);
        EXPECT_EQ(ReadColumnWidth(2), 55);
        EXPECT_EQ(ReadColumnWidth(0), FittedColumnWidth(0));
        EXPECT_EQ(ReadSetting("flag", "g_same_flag", "1"), "0");
        QFile f("config.cnf");
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        EXPECT_TRUE(text.startsWith("[flag]\r\ng_same_flag=0\r\n[width]\r\n2 = 55\r\n")) << text.constData();
    }
    {
        TempWorkDir dir;
        QFile f("config.cnf");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[width]\n0=300\n");
        f.close();
        EXPECT_EQ(ReadColumnWidth(0), 300);
        EXPECT_EQ(ReadColumnWidth(5), 80);  // no catalogue made here: the default stays
    }
}

// `korvel DIR`: a missing DIR is made with an empty catalogue and entered; an existing
// one is entered as it is; a file is refused and the working folder stays.
TEST(Startup, EnterWorkingDirectory) {
    TempWorkDir base;
    const QString before = QDir::currentPath();
    QString error;

    const QString fresh = base.path() + "/new/deeper";
    ASSERT_TRUE(EnterWorkingDirectory(fresh, &error)) << error.toStdString();
    EXPECT_EQ(QDir::currentPath(), QDir(fresh).canonicalPath());
    for (const char* file : {"kv.kdb", "filter.xml", "config.cnf"}) EXPECT_TRUE(QFile::exists(file)) << file;
    EXPECT_EQ(ReadColumnWidth(2), FittedColumnWidth(2));
    {
        Closer closer;
        QString openError;
        EXPECT_TRUE(StartCore(S(), &openError)) << openError.toStdString();
    }

    const QString existing = base.path() + "/existing";
    ASSERT_TRUE(QDir().mkpath(existing));
    ASSERT_TRUE(EnterWorkingDirectory(existing, &error));
    EXPECT_EQ(QDir::currentPath(), QDir(existing).canonicalPath());
    EXPECT_FALSE(QFile::exists("kv.kdb"));  // the window asks about a missing catalogue

    QDir::setCurrent(before);
    const QString file = base.path() + "/plain.txt";
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    error.clear();
    EXPECT_FALSE(EnterWorkingDirectory(file, &error));
    EXPECT_TRUE(error.contains("plain.txt"));
    EXPECT_EQ(QDir::currentPath(), before);
}
