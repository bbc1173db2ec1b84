#include "store/schema.h"

namespace korvel {

namespace {
// The listing walks the records newest first by these two (store/pageset.cpp): every
// record by its fileinputdtime text, and apart the few whose text does not start with a
// "yyyy-mm-dd " date. Only statements that name them with INDEXED BY use them for an
// ordering; the listing's other statements read main NOT INDEXED.
const char* const kInputTimeIndex = "create index if not exists main_inputtime on main(fileinputdtime)";
const char* const kInputTimeOddIndex =
    "create index if not exists main_inputtime_odd on main(id) where not (typeof(fileinputdtime)='text' and "
    "fileinputdtime glob '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] *')";
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
        kInputTimeIndex,
        kInputTimeOddIndex,
    };
    return statements;
}

const std::vector<const char*>& SchemaUpgradeStatements() {
    static const std::vector<const char*> statements = {
        "create table if not exists volroot (vol TEXT, root TEXT)",
        "create unique index if not exists volroot_pair on volroot(vol, root)",
        kInputTimeIndex,
        kInputTimeOddIndex,
    };
    return statements;
}

const QStringList& SchemaUpgradeNames() {
    static const QStringList names = {QStringLiteral("volroot"), QStringLiteral("volroot_pair"),
                                      QStringLiteral("main_inputtime"), QStringLiteral("main_inputtime_odd")};
    return names;
}

}  // namespace korvel
