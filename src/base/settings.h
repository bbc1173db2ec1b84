#pragma once
// The settings file "./config.cnf": option flags and the language in section "flag",
// column widths of the record list in section "width", the last folder of each kind of
// file pick in section "folders". Flags are read once at start-up
// and written the moment they change; a write touches exactly the changed key.

#include "base/prompter.h"

#include <QString>

namespace korvel {

// The option flags of a session (set by ReadSettings; defaults before it). Each flag's
// settings key is named beside it.
struct Options {
    bool sysback = true;     // "sysback": automatic use of backup copies
    bool sysindex = true;    // "sysindex": content index on import
    bool trend = true;       // "g_trend_flag": file filter: skip matches of `file` (else take only `ffn`)
    bool dtrend = true;      // "g_dtrend_flag": folder filter: skip matches of `dir` (else take only `fdn`)
    bool same = true;        // "g_same_flag": refuse files already catalogued
    bool debug = true;       // "g_debug_flag": read, not used
    bool subnode = true;     // "g_subnode_flag": opening a node lists only its inner records
    bool band = true;        // "g_band_flag": disk-number lock: locate files by disk identity
    bool penletreg = false;  // "g_penletreg_flag": shell menu entry for notes registered
    int language = 0;        // "language": 0 AUTO, 936 GBK, 950 BIG5
};

// The settings file, relative to the working directory.
inline const QString kSettingsFile = QStringLiteral("./config.cnf");

// Reads section "flag" into options (missing file or key: defaults).
void ReadSettings(Options& options);

// Writes one key of a section at once, keeping every other key and any hand edits.
// Returns false when the file could not be written (not reported to the user).
bool WriteSetting(const QString& section, const QString& key, const QString& value);

// Reads one key of a section, or defaultValue when the file or key is missing.
QString ReadSetting(const QString& section, const QString& key, const QString& defaultValue);

// Width of list column i (0..10) from section "width": at most three digits, default 80.
int ReadColumnWidth(int column);
void WriteColumnWidth(int column, int width);
// Width in pixels that fits the usual contents of list column i (0..10): name, tags and
// path wide, the two times wide enough for "2026-12-10 10:00:00", the others their titles.
int FittedColumnWidth(int column);
// Writes FittedColumnWidth for every key "0".."10" that section "width" lacks; keys the
// file has already are left as they are. False when the file could not be written.
bool WriteFittedColumnWidths();

// Flag commands: flips the flag and writes "0"/"1" to its key. key is the flag's
// settings key ("sysback", "g_same_flag", ...). Returns the new value.
bool ToggleFlag(Options& options, const QString& key);
// Current value of a flag by its key.
bool FlagValue(const Options& options, const QString& key);
// True when key names a flag of section "flag".
bool IsFlagKey(const QString& key);
// The keys of every flag, in the order they are read.
QStringList FlagKeys();

// A decimal integer at the start of text, as atoi reads it: leading blanks and a sign
// allowed, the number ends at the first non-digit, text without a number gives 0; values
// beyond int saturate.
int DecimalTextValue(const QString& text);

// Page size of the record list, limited to 1..10000 (never stored).
int ClampPageSize(const QString& text);

// LANGUAGE SET: "AUTO" 0, "GBK" 936, "BIG5" 950; anything else keeps current. Writes key
// "language" in every case and returns the code.
int ApplyLanguageChoice(Options& options, const QString& choice);

// The folder a file or folder pick of this kind starts in: where the last pick of the kind
// ended, while that folder exists; else home.
QString PickStartFolder(PickKind kind);
// Remembers folder as the place of the last pick of this kind.
void RememberPickFolder(PickKind kind, const QString& folder);

}  // namespace korvel
