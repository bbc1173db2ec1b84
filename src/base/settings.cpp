#include "base/settings.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <climits>
#include <vector>

// The settings file is a small INI file that users may edit by hand. It is read and
// written here with our own code: a write replaces exactly one line (or adds one key or
// one section) and keeps every other byte of the file, comments and odd lines included.
//
// Reading follows the classic profile-string rules: section and key names compare
// without regard to ASCII letter case, blanks around names and values are ignored, a
// value wrapped in matching single or double quotes loses them, lines starting with ';'
// are comments, and the first matching section and key win.

namespace korvel {

namespace {

// One physical line of the file: its text (without terminator) and its terminator.
struct IniLine {
    QByteArray text;
    QByteArray eol;  // "\n", "\r\n", "\r" or empty for a last line without one
};

struct IniFile {
    QByteArray bom;  // a UTF-8 byte order mark at the start, kept as it was
    std::vector<IniLine> lines;
};

IniFile SplitLines(const QByteArray& data) {
    IniFile f;
    qsizetype pos = 0;
    if (data.startsWith("\xEF\xBB\xBF")) {
        f.bom = data.left(3);
        pos = 3;
    }
    while (pos < data.size()) {
        qsizetype end = pos;
        while (end < data.size() && data[end] != '\n' && data[end] != '\r') ++end;
        IniLine line;
        line.text = data.mid(pos, end - pos);
        if (end < data.size()) {
            if (data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n')
                line.eol = "\r\n";
            else
                line.eol = data.mid(end, 1);
        }
        pos = end + line.eol.size();
        f.lines.push_back(line);
    }
    return f;
}

QByteArray JoinLines(const IniFile& f) {
    QByteArray out = f.bom;
    for (const auto& l : f.lines) out += l.text + l.eol;
    return out;
}

// The section named by a line "[name]", or a null array when the line is no header.
QByteArray SectionOf(const QByteArray& line) {
    QByteArray t = line.trimmed();
    if (!t.startsWith('[')) return QByteArray();
    qsizetype close = t.indexOf(']');
    QByteArray name = close < 0 ? t.mid(1) : t.mid(1, close - 1);
    name = name.trimmed();
    return name.isNull() ? QByteArray("") : name;
}

bool SameName(const QByteArray& a, const QString& b) {
    return QString::fromUtf8(a).compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

// Splits "key = value"; false for lines that hold no key (comments, blanks, headers).
bool KeyValueOf(const QByteArray& line, QByteArray& key, QByteArray& value) {
    QByteArray t = line.trimmed();
    if (t.isEmpty() || t.startsWith(';') || t.startsWith('[')) return false;
    qsizetype eq = t.indexOf('=');
    if (eq < 0) return false;
    key = t.left(eq).trimmed();
    value = t.mid(eq + 1).trimmed();
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return true;
}

// Index range of a section's body: lines (header, end). header < 0 when absent.
struct SectionRange {
    int header = -1;
    int end = -1;
};

SectionRange FindSection(const IniFile& f, const QString& section) {
    SectionRange r;
    for (int i = 0; i < static_cast<int>(f.lines.size()); ++i) {
        QByteArray name = SectionOf(f.lines[i].text);
        if (name.isNull()) continue;
        if (r.header >= 0) {
            r.end = i;
            return r;
        }
        if (SameName(name, section)) r.header = i;
    }
    if (r.header >= 0) r.end = static_cast<int>(f.lines.size());
    return r;
}

int FindKey(const IniFile& f, const SectionRange& r, const QString& key) {
    for (int i = r.header + 1; i < r.end; ++i) {
        QByteArray k, v;
        if (KeyValueOf(f.lines[i].text, k, v) && SameName(k, key)) return i;
    }
    return -1;
}

// The value of key in the section r of f; def when the section or the key is missing.
QString ValueIn(const IniFile& f, const SectionRange& r, const QString& key, const QString& def) {
    if (r.header < 0) return def;
    int i = FindKey(f, r, key);
    if (i < 0) return def;
    QByteArray k, v;
    KeyValueOf(f.lines[i].text, k, v);
    return QString::fromUtf8(v);
}

bool LoadFile(IniFile& f) {
    QFile file(kSettingsFile);
    if (!file.open(QIODevice::ReadOnly)) return false;
    f = SplitLines(file.readAll());
    return true;
}

// The line terminator the file already uses, "\n" for a new file.
QByteArray FileEol(const IniFile& f) {
    for (const auto& l : f.lines)
        if (!l.eol.isEmpty()) return l.eol;
    return "\n";
}

// The first `chars` characters of a value, as the fixed-size read buffers kept them.
QString Truncated(const QString& value, int chars) { return value.left(chars); }

// Decimal conversion in the manner of atoi: leading blanks, an optional sign, digits up
// to the first non-digit; no digits gives 0. Saturates instead of overflowing.
long long AtoiLike(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n' || text[i] == u'\r' ||
                               text[i] == u'\v' || text[i] == u'\f'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long n = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        if (n < LLONG_MAX / 100) n = n * 10 + (text[i].unicode() - u'0');
    }
    return negative ? -n : n;
}

int ClampToInt(long long n) {
    if (n > INT_MAX) return INT_MAX;
    if (n < INT_MIN) return INT_MIN;
    return static_cast<int>(n);
}

}  // namespace

int DecimalTextValue(const QString& text) { return ClampToInt(AtoiLike(text)); }

namespace {

// A flag value: only its first character counts ("10" is set, "-1" is clear).
bool FlagFromText(const QString& value) { return DecimalTextValue(Truncated(value, 1)) != 0; }

struct FlagEntry {
    const char* key;
    bool Options::*value;
    bool defaultValue;
};

// Section "flag" in the order of reading.
// clang-format off
const FlagEntry kFlags[] = {
    {"sysback", &Options::sysback, true},
    {"sysindex", &Options::sysindex, true},
    {"g_trend_flag", &Options::trend, true},
    {"g_dtrend_flag", &Options::dtrend, true},
    {"g_same_flag", &Options::same, true},
    {"g_debug_flag", &Options::debug, true},
    {"g_subnode_flag", &Options::subnode, true},
    {"g_band_flag", &Options::band, true},
    {"g_penletreg_flag", &Options::penletreg, false},
};
// clang-format on

const FlagEntry* FlagByKey(const QString& key) {
    for (const auto& f : kFlags)
        if (key == QLatin1String(f.key)) return &f;
    return nullptr;
}

const QString kFlagSection = QStringLiteral("flag");
const QString kWidthSection = QStringLiteral("width");

}  // namespace

QString ReadSetting(const QString& section, const QString& key, const QString& defaultValue) {
    IniFile f;
    if (!LoadFile(f)) return defaultValue;
    return ValueIn(f, FindSection(f, section), key, defaultValue);
}

bool WriteSetting(const QString& section, const QString& key, const QString& value) {
    IniFile f;
    QFile existing(kSettingsFile);
    if (existing.exists() && !LoadFile(f)) return false;  // unreadable: never overwrite it
    const QByteArray eol = FileEol(f);
    const QByteArray entry = key.toUtf8() + '=' + value.toUtf8();

    SectionRange r = FindSection(f, section);
    if (r.header < 0) {
        // A new section at the end of the file.
        if (!f.lines.empty() && f.lines.back().eol.isEmpty()) f.lines.back().eol = eol;
        f.lines.push_back({'[' + section.toUtf8() + ']', eol});
        f.lines.push_back({entry, eol});
    } else {
        int i = FindKey(f, r, key);
        if (i >= 0) {
            // Keep the key as it was spelled and indented; replace only the value.
            QByteArray& text = f.lines[i].text;
            qsizetype eq = text.indexOf('=');
            qsizetype keyEnd = eq;
            while (keyEnd > 0 && (text[keyEnd - 1] == ' ' || text[keyEnd - 1] == '\t')) --keyEnd;
            text = text.left(keyEnd) + '=' + value.toUtf8();
        } else {
            // A new key after the last non-blank line of the section.
            int at = r.end;
            while (at - 1 > r.header && f.lines[at - 1].text.trimmed().isEmpty()) --at;
            if (f.lines[at - 1].eol.isEmpty()) f.lines[at - 1].eol = eol;
            f.lines.insert(f.lines.begin() + at, IniLine{entry, eol});
        }
    }

    // Written through a temporary file and renamed, so a crash never leaves half a file;
    // a file that exists but may not be written is left alone.
    QSaveFile out(kSettingsFile);
    out.setDirectWriteFallback(true);
    if (!out.open(QIODevice::WriteOnly)) return false;
    QByteArray data = JoinLines(f);
    if (out.write(data) != data.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

void ReadSettings(Options& options) {
    IniFile f;
    const bool loaded = LoadFile(f);
    SectionRange r = loaded ? FindSection(f, kFlagSection) : SectionRange();
    auto valueOf = [&](const QString& key, const QString& def) { return ValueIn(f, r, key, def); };
    for (const auto& flag : kFlags)
        options.*flag.value = FlagFromText(
            valueOf(QLatin1String(flag.key), flag.defaultValue ? QStringLiteral("1") : QStringLiteral("0")));
    options.language = DecimalTextValue(Truncated(valueOf(QStringLiteral("language"), QStringLiteral("0")), 9));
}

int ReadColumnWidth(int column) {
    QString v = ReadSetting(kWidthSection, QString::number(column), QStringLiteral("80"));
    int width = DecimalTextValue(Truncated(v, 3));
    // A negative width in a hand-edited file would make no sense as a column size.
    return width < 0 ? 0 : width;
}

void WriteColumnWidth(int column, int width) {
    if (column < 0) column = 0;
    if (column > 10) column = 10;
    WriteSetting(kWidthSection, QString::number(column), QString::number(width));
}

int FittedColumnWidth(int column) {
    // Pixels at the usual 9-10 point desktop font with a CJK fallback (measured on the
    // titles and on typical cells, plus the cell margins).
    static const int kWidths[11] = {
        260,  // 0 name
        200,  // 1 tags
        360,  // 2 path
        120,  // 3 "记录编号(AUTOID)"
        110,  // 4 "记录类型(TYPE)"
        90,   // 5 "大小(SIZE)"
        160,  // 6 modification time "2026-12-10 10:00:00"
        160,  // 7 import time
        110,  // 8 "磁盘号(DISKNO)", a ten-digit disk number
        90,   // 9 "备注(DESC)"
        90,   // 10 "自编号(NO)"
    };
    return column >= 0 && column < 11 ? kWidths[column] : 80;
}

bool WriteFittedColumnWidths() {
    IniFile f;
    const bool loaded = LoadFile(f);
    const SectionRange r = loaded ? FindSection(f, kWidthSection) : SectionRange();
    bool ok = true;
    for (int c = 0; c < 11; ++c) {
        const QString key = QString::number(c);
        if (r.header >= 0 && FindKey(f, r, key) >= 0) continue;
        ok = WriteSetting(kWidthSection, key, QString::number(FittedColumnWidth(c))) && ok;
    }
    return ok;
}

bool ToggleFlag(Options& options, const QString& key) {
    const FlagEntry* f = FlagByKey(key);
    if (!f) return false;
    bool& value = options.*f->value;
    value = !value;
    // A failed write is not reported: the flag keeps its new value for this run.
    WriteSetting(kFlagSection, key, QString::number(value ? 1 : 0));
    return value;
}

bool IsFlagKey(const QString& key) { return FlagByKey(key) != nullptr; }

QStringList FlagKeys() {
    QStringList keys;
    for (const auto& f : kFlags) keys << QLatin1String(f.key);
    return keys;
}

bool FlagValue(const Options& options, const QString& key) {
    const FlagEntry* f = FlagByKey(key);
    return f ? options.*f->value : false;
}

int ClampPageSize(const QString& text) {
    const int n = DecimalTextValue(text);
    if (n < 1) return 1;
    if (n > 10000) return 10000;
    return static_cast<int>(n);
}

int ApplyLanguageChoice(Options& options, const QString& choice) {
    if (choice == QLatin1String("AUTO"))
        options.language = 0;
    else if (choice == QLatin1String("GBK"))
        options.language = 936;
    else if (choice == QLatin1String("BIG5"))
        options.language = 950;
    WriteSetting(kFlagSection, QStringLiteral("language"), QString::number(options.language));
    return options.language;
}

namespace {
QString PickKey(PickKind kind) {
    switch (kind) {
        case PickKind::Import: return QStringLiteral("import");
        case PickKind::Export: return QStringLiteral("export");
        case PickKind::Backup: return QStringLiteral("backup");
        case PickKind::Sync: return QStringLiteral("sync");
        case PickKind::Note: return QStringLiteral("note");
    }
    return QStringLiteral("other");
}
const QString kFoldersSection = QStringLiteral("folders");
}  // namespace

QString PickStartFolder(PickKind kind) {
    const QString folder = ReadSetting(kFoldersSection, PickKey(kind), QString());
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
    return QDir::homePath();
}

void RememberPickFolder(PickKind kind, const QString& folder) {
    if (folder.isEmpty() || folder == ReadSetting(kFoldersSection, PickKey(kind), QString())) return;
    WriteSetting(kFoldersSection, PickKey(kind), folder);
}

}  // namespace korvel
