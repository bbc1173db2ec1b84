#include "base/settings.h"
#include "support/state.h"
#include "base/windowlayout.h"
#include "support/workdir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace korvel;

namespace {

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
    return f.readAll();
}

void WriteFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

// Every test gets its own working folder, and the process-wide flags are put back
// afterwards so that other suites see the defaults.
struct SettingsTest : ::testing::Test {
    TempWorkDir dir;
    bool saved[9] = {S().options.sysback, S().options.sysindex, S().options.trend,
                     S().options.dtrend,  S().options.same,     S().options.debug,
                     S().options.subnode, S().options.band,     S().options.penletreg};
    int savedLanguage = S().options.language;
    ~SettingsTest() override {
        bool* flags[9] = {&S().options.sysback, &S().options.sysindex, &S().options.trend,
                          &S().options.dtrend,  &S().options.same,     &S().options.debug,
                          &S().options.subnode, &S().options.band,     &S().options.penletreg};
        for (int i = 0; i < 9; ++i) *flags[i] = saved[i];
        S().options.language = savedLanguage;
    }
    void SetAllFlags(bool v) {
        S().options.sysback = S().options.sysindex = S().options.trend = S().options.dtrend = S().options.same =
            S().options.debug = S().options.subnode = S().options.band = S().options.penletreg = v;
    }
};

}  // namespace

TEST_F(SettingsTest, MissingFileGivesDefaults) {
    SetAllFlags(false);
    S().options.penletreg = true;
    S().options.language = 950;
    ReadSettings(S().options);
    EXPECT_TRUE(S().options.sysback && S().options.sysindex && S().options.trend && S().options.dtrend &&
                S().options.same && S().options.debug && S().options.subnode && S().options.band);
    EXPECT_FALSE(S().options.penletreg);
    EXPECT_EQ(S().options.language, 0);
    for (int c = 0; c <= 10; ++c) EXPECT_EQ(ReadColumnWidth(c), 80) << c;
    EXPECT_EQ(ReadSetting("flag", "sysback", "dflt"), "dflt");
    EXPECT_FALSE(QFile::exists(kSettingsFile));  // reading never creates the file
}

TEST_F(SettingsTest, FlagValuesCountOnlyTheirFirstCharacter) {
    struct Case {
        const char* text;
        bool set;
        // clang-format off
    } cases[] = {
        {"1", true},   {"10", true},    {"-1", false},  {"0", false},     {"01", false},
        {"7", true},   {"x1", false},   {"", false},    {" 1 ", true},    {"\"1\"", true},
        {"+1", false}, {"9abc", true},
    };
    // clang-format on
    for (const auto& c : cases) {
        WriteFile(kSettingsFile, QByteArray("[flag]\ng_same_flag=") + c.text + "\n");
        S().options.same = !c.set;
        ReadSettings(S().options);
        EXPECT_EQ(S().options.same, c.set) << "value '" << c.text << "'";
        EXPECT_TRUE(S().options.sysback);  // missing keys keep their defaults
    }
}

TEST_F(SettingsTest, NamesIgnoreCaseAndFirstEntryWins) {
    WriteFile(kSettingsFile,
              "; hand-written\n[FLAG]\n  SysBack = 0\nsysback=1\ng_PenletReg_Flag=1\n"
              "language=9501234567\n[flag]\nsysindex=0\n");
    ReadSettings(S().options);
    EXPECT_FALSE(S().options.sysback);
    EXPECT_TRUE(S().options.penletreg);
    EXPECT_TRUE(S().options.sysindex);           // a second [flag] section is not read
    EXPECT_EQ(S().options.language, 950123456);  // nine characters of the language value
}

TEST_F(SettingsTest, ColumnWidthsReadAtMostThreeDigits) {
    WriteFile(kSettingsFile, "[width]\n0=1234\n1=45\n2=abc\n3=-20\n4= 120 \n10=999\n");
    const int expected[] = {123, 45, 0, 0, 120, 80, 80, 80, 80, 80, 999};
    for (int c = 0; c <= 10; ++c) EXPECT_EQ(ReadColumnWidth(c), expected[c]) << c;
    WriteColumnWidth(7, 150);
    WriteColumnWidth(42, 60);  // column limited to 0..10
    EXPECT_EQ(ReadColumnWidth(7), 150);
    EXPECT_EQ(ReadColumnWidth(10), 60);
    EXPECT_EQ(ReadColumnWidth(0), 123);
}

TEST_F(SettingsTest, WriteChangesExactlyOneLine) {
    const QByteArray before =
        "\xEF\xBB\xBF; Korvel settings, edited by hand\r\n"
        "[flag]\r\n"
        "sysback = 1   \r\n"
        "g_same_flag=1\r\n"
        "# odd line without equals\r\n"
        "comment=keep me ; really\r\n"
        "\r\n"
        "[width]\r\n"
        "0=120\r\n"
        "[其他]\r\n"
        "名字=值\r\n";
    WriteFile(kSettingsFile, before);
    S().options.sysback = true;
    EXPECT_FALSE(ToggleFlag(S().options, "sysback"));
    QByteArray expected = before;
    expected.replace("sysback = 1   \r\n", "sysback=0\r\n");
    EXPECT_EQ(ReadFile(kSettingsFile), expected);
    EXPECT_EQ(ReadSetting("其他", "名字", ""), "值");
}

TEST_F(SettingsTest, WriteAddsMissingKeyOrSection) {
    struct Case {
        const char* name;
        QByteArray before;
        QString section, key, value;
        QByteArray after;
        // clang-format off
    } cases[] = {
        {"new file", "<none>", "flag", "sysback", "0", "[flag]\nsysback=0\n"},
        {"key into section before blank line",
         "[flag]\nsysback=1\n\n[width]\n0=90\n", "flag", "g_band_flag", "0",
         "[flag]\nsysback=1\ng_band_flag=0\n\n[width]\n0=90\n"},
        {"key into last section without newline", "[width]\n0=90", "width", "3", "100",
         "[width]\n0=90\n3=100\n"},
        {"section at end, file without newline", "[flag]\nsysback=1", "width", "0", "77",
         "[flag]\nsysback=1\n[width]\n0=77\n"},
        {"empty header section", "[flag]\n", "flag", "language", "936", "[flag]\nlanguage=936\n"},
        {"crlf kept for new lines", "[flag]\r\nsysback=1\r\n", "flag", "sysindex", "0",
         "[flag]\r\nsysback=1\r\nsysindex=0\r\n"},
        {"value with quote and utf-8", "", "flag", "note", "it's 中文",
         "[flag]\nnote=it's 中文\n"},
    };
    // clang-format on
    for (const auto& c : cases) {
        QFile::remove(kSettingsFile);
        if (c.before != "<none>") WriteFile(kSettingsFile, c.before);
        EXPECT_TRUE(WriteSetting(c.section, c.key, c.value)) << c.name;
        EXPECT_EQ(ReadFile(kSettingsFile), c.after) << c.name;
        EXPECT_EQ(ReadSetting(c.section, c.key, "?"), c.value) << c.name;
    }
}

TEST_F(SettingsTest, ToggleFlagFlipsAndWritesEveryFlag) {
    const char* keys[] = {"sysback",     "sysindex",       "g_trend_flag", "g_dtrend_flag",
                          "g_same_flag", "g_subnode_flag", "g_band_flag",  "g_penletreg_flag"};
    for (const char* key : keys) {
        const bool before = FlagValue(S().options, key);
        EXPECT_EQ(ToggleFlag(S().options, key), !before) << key;
        EXPECT_EQ(FlagValue(S().options, key), !before) << key;
        EXPECT_EQ(ReadSetting("flag", key, "?"), before ? "0" : "1") << key;
        ReadSettings(S().options);  // what was written reads back as the same value
        EXPECT_EQ(FlagValue(S().options, key), !before) << key;
    }
    EXPECT_FALSE(ToggleFlag(S().options, "no_such_flag"));
    EXPECT_EQ(ReadSetting("flag", "no_such_flag", "absent"), "absent");
}

TEST_F(SettingsTest, FailedWriteIsSilentAndKeepsTheNewValue) {
    // A folder where the file should be: it can be neither read nor written.
    ASSERT_TRUE(QDir().mkdir(kSettingsFile));
    S().options.sysback = true;
    EXPECT_FALSE(ToggleFlag(S().options, "sysback"));
    EXPECT_FALSE(S().options.sysback);
    EXPECT_FALSE(WriteSetting("flag", "sysback", "1"));
    EXPECT_TRUE(QFileInfo(kSettingsFile).isDir());

    if (geteuid() != 0) {  // the superuser may write read-only files
        QDir().rmdir(kSettingsFile);
        WriteFile(kSettingsFile, "[flag]\nsysindex=1\n");
        QFile::setPermissions(kSettingsFile, QFile::ReadOwner);
        S().options.sysindex = true;
        EXPECT_FALSE(ToggleFlag(S().options, "sysindex"));
        EXPECT_FALSE(S().options.sysindex);
        EXPECT_EQ(ReadFile(kSettingsFile), "[flag]\nsysindex=1\n");
    }
}

TEST_F(SettingsTest, PageSizeIsLimited) {
    struct Case {
        const char* text;
        int size;
        // clang-format off
    } cases[] = {
        {"30", 30},   {"0", 1},        {"99999", 10000}, {"abc", 1},   {"", 1},
        {"-5", 1},    {" 25x", 25},    {"10000", 10000}, {"1", 1},     {"99999999999999999999999", 10000},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(ClampPageSize(c.text), c.size) << c.text;
}

TEST_F(SettingsTest, LanguageChoiceIsWrittenEvenWhenUnchanged) {
    EXPECT_EQ(ApplyLanguageChoice(S().options, "GBK"), 936);
    EXPECT_EQ(ReadSetting("flag", "language", "?"), "936");
    EXPECT_EQ(ApplyLanguageChoice(S().options, ""), 936);  // closed without OK: code unchanged, still written
    EXPECT_EQ(ApplyLanguageChoice(S().options, "BIG5"), 950);
    EXPECT_EQ(ApplyLanguageChoice(S().options, "AUTO"), 0);
    EXPECT_EQ(ReadSetting("flag", "language", "?"), "0");
    EXPECT_EQ(ApplyLanguageChoice(S().options, "BIG5"), 950);
    S().options.language = 0;
    ReadSettings(S().options);
    EXPECT_EQ(S().options.language, 950);
}

TEST_F(SettingsTest, WriteKeepsALinkedSettingsFileLinked) {
    WriteFile("real.cnf", "[flag]\nsysback=1\n");
    ASSERT_TRUE(QFile::link("real.cnf", kSettingsFile));
    S().options.sysback = true;
    ToggleFlag(S().options, "sysback");
    EXPECT_TRUE(QFileInfo(kSettingsFile).isSymLink());
    EXPECT_EQ(ReadFile("real.cnf"), "[flag]\nsysback=0\n");
}

// The window's place survives in section "window" next to the other sections; an
// incomplete section gives nothing.
TEST_F(SettingsTest, WindowLayoutRoundTrip) {
    EXPECT_FALSE(ReadWindowLayout().has_value());
    WriteFile("config.cnf", "[width]\n0=120\n");
    ASSERT_TRUE(WriteWindowLayout({QRect(-20, 35, 900, 640), true, 260}));
    const auto layout = ReadWindowLayout();
    ASSERT_TRUE(layout.has_value());
    EXPECT_EQ(layout->geometry, QRect(-20, 35, 900, 640));
    EXPECT_TRUE(layout->maximized);
    EXPECT_EQ(layout->treeWidth, 260);
    EXPECT_EQ(ReadColumnWidth(0), 120);
    EXPECT_TRUE(ReadFile("config.cnf").startsWith("[width]\n0=120\n[window]\n"));

    for (const char* broken : {"[window]\nx=1\ny=2\nwidth=300\n", "[window]\nx=1\ny=2\nwidth=0\nheight=5\n",
                               "[window]\nx=a\ny=2\nwidth=300\nheight=200\n"}) {
        WriteFile("config.cnf", broken);
        EXPECT_FALSE(ReadWindowLayout().has_value()) << broken;
    }
}

TEST(WindowLayout, FitsAScreenOnlyWhenItCanBeShownThere) {
    const QList<QRect> two = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const struct {
        QRect window;
        bool fits;
        // clang-format off
    } cases[] = {
        {QRect(100, 100, 1000, 700), true},
        {QRect(2000, 50, 1200, 900), true},       // on the second screen
        {QRect(1500, 50, 1000, 700), true},       // across both
        {QRect(100, 40, 2000, 700), false},       // wider than either screen
        {QRect(-900, 100, 1000, 700), true},      // 100 pixels of the title bar still on screen
        {QRect(-950, 100, 1000, 700), false},     // only 50
        {QRect(100, -30, 1000, 700), false},      // title bar above the screen
        {QRect(100, 1100, 1000, 700), false},     // below it
        {QRect(5000, 100, 800, 600), false},      // a screen that is gone
        {QRect(0, 0, 0, 0), false},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(GeometryFitsScreens(c.window, two), c.fits)
            << c.window.x() << "," << c.window.y() << " " << c.window.width() << "x" << c.window.height();
    EXPECT_FALSE(GeometryFitsScreens(QRect(0, 0, 100, 100), {}));
}
