#include "store/schema.h"

#include <string>

namespace korvel {

namespace {
// Only statements that name it with INDEXED BY use it for an ordering; the listing's
// other statements read main NOT INDEXED, so that it never drives a tag query.
const std::string kInputDateIndex =
    std::string("create index if not exists main_inputdate on main") + kInputDateExpression;
// The names in the listing's text order (ASCII letters folded): page 1 of a listing by name
// walks it. As main_inputdate, only statements that name it with INDEXED BY use it.
const char* const kNameIndex = "main_name";
const std::string kNameIndexStatement =
    std::string("create index if not exists ") + kNameIndex + " on main(name collate nocase)";
}  // namespace

const QStringList g_column_names = {
    QStringLiteral("name"),      QStringLiteral("findkey"),        QStringLiteral("dir"),
    QStringLiteral("id"),        QStringLiteral("filetype"),       QStringLiteral("filesize"),
    QStringLiteral("filedtime"), QStringLiteral("fileinputdtime"), QStringLiteral("vol"),
    QStringLiteral("filedesc"),  QStringLiteral("yourid")};

const std::vector<const char*>& SchemaStatements() {
    static const std::vector<const char*> statements = {
        "create table main (name TEXT, findkey TEXT, dir TEXT, id INTEGER PRIMARY KEY, "
        "filetype TEXT, filesize TEXT, filedtime TEXT, fileinputdtime TEXT, vol TEXT, "
        "filedesc TEXT, yourid TEXT)",
        "create table main2 (id INTEGER PRIMARY KEY, name TEXT, findkey TEXT, fid INTEGER, "
        "cid INTEGER DEFAULT 0)",
        "create table main4 (recordid INTEGER, filepath TEXT, vol TEXT)",
        "create table main5 (name TEXT, findkey TEXT, dir TEXT, id INTEGER, filetype TEXT, "
        "filesize TEXT, filedtime TEXT, fileinputdtime TEXT, vol TEXT, num REAL)",
        "create table volroot (vol TEXT, root TEXT)",
        "create index main_dir_vol on main(dir, vol)",
        "create index main2_fid on main2(fid)",
        "create index main2_cid on main2(cid)",
        "create index main4_recordid on main4(recordid)",
        "create index main4_filepath_vol on main4(filepath, vol)",
        "create unique index volroot_pair on volroot(vol, root)",
        kInputDateIndex.c_str(),
        kNameIndexStatement.c_str(),
    };
    return statements;
}

const std::vector<const char*>& SchemaUpgradeStatements() {
    static const std::vector<const char*> statements = {
        "create table if not exists volroot (vol TEXT, root TEXT)",
        "create unique index if not exists volroot_pair on volroot(vol, root)",
        kInputDateIndex.c_str(),
        kNameIndexStatement.c_str(),
    };
    return statements;
}

const QStringList& SchemaUpgradeNames() {
    static const QStringList names = {QStringLiteral("volroot"), QStringLiteral("volroot_pair"),
                                      QStringLiteral("main_inputdate"), QString::fromLatin1(kNameIndex)};
    return names;
}

}  // namespace korvel
