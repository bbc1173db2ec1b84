#include "base/fileguard.h"
#include "support/state.h"
#include "store/catalogue.h"
#include "store/idbatch.h"
#include "store/pageset.h"
#include "support/catalogue.h"
#include "support/scripted_prompter.h"
#include "support/workdir.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

QString One(const QString& sql) {
    Recordset rs = ExecuteSql(sql, adCmdText, S().catalogue);
    return rs.Eof() ? QStringLiteral("<none>") : VariantToText(rs.Field(0));
}

QByteArray Digest(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5);
}

}  // namespace

// A record inserted without an id gets max(id)+1 from the engine (1 in an empty table):
// the writer of new records relies on it.
TEST(Store, NewRecordIdFollowsLargestId) {
    TempCatalogue c;
    auto insertAndId = [] {
        ExecuteSql(QStringLiteral("insert into main(name) values('new')"), adCmdTextNoRecords, S().catalogue);
        return S().catalogue.LastInsertId();
    };
    EXPECT_EQ(insertAndId(), 1);
    for (int id : {2, 7})
        ExecuteSql(QStringLiteral("insert into main(name,id) values('x',%1)").arg(id), adCmdTextNoRecords,
                   S().catalogue);
    EXPECT_EQ(insertAndId(), 8);
}

// Records read by id in batches: every record asked for comes back once per batch that
// names it, whatever the batch boundaries, the gaps and the repeats; nothing stays open.
TEST(Store, RecordsByIdReadsEveryBatch) {
    TempCatalogue c;
    {
        WriteTransaction tx(S().catalogue);
        Statement ins(S().catalogue, QStringLiteral("insert into main(id, name, dir) values(?, ?, '/d')"));
        for (int id = 1; id <= 1300; ++id) {
            ins.Reset();
            ins.Bind(1, id);
            ins.Bind(2, QStringLiteral("n%1").arg(id));
            ins.Step();
        }
        tx.Commit();
    }
    const int batch = RecordsById::kIdsPerBatch;
    struct Case {
        const char* name;
        std::vector<qint64> ids;
        size_t from, to;
        std::vector<qint64> rows;  // sorted
    };
    std::vector<qint64> all, odd;
    for (qint64 id = 1300; id >= 1; --id) all.push_back(id);  // descending: rows come by id
    for (qint64 id = 1; id <= 2 * batch + 7; id += 2) odd.push_back(id);
    std::vector<qint64> sortedAll(all.rbegin(), all.rend());
    // clang-format off
    const Case cases[] = {
        {"none", {}, 0, 0, {}},
        {"one", {5}, 0, 1, {5}},
        {"gaps and missing ids", {2, 9999, 4, -1, 0}, 0, 5, {2, 4}},
        {"a full batch and a partial one", all, 0, all.size(), sortedAll},
        {"a range of the list", all, 100, 100 + batch + 1, {}},  // filled below
        {"odd ids over three batches", odd, 0, odd.size(), odd},
        {"a repeat within a batch counts once", {3, 3, 3}, 0, 3, {3}},
    };
    // clang-format on
    RecordsById reader(S().catalogue, QStringLiteral("id, name"));
    for (const Case& c : cases) {
        std::vector<qint64> expected = c.rows;
        if (QByteArray(c.name) == "a range of the list") {
            expected.assign(all.begin() + 100, all.begin() + 100 + batch + 1);
            std::sort(expected.begin(), expected.end());
        }
        std::vector<qint64> rows;
        reader.Read(c.ids, c.from, c.to, [&](Statement& st) {
            rows.push_back(st.Column(0).toLongLong());
            EXPECT_EQ(st.Column(1).toString(), QStringLiteral("n%1").arg(rows.back())) << c.name;
        });
        std::sort(rows.begin(), rows.end());
        EXPECT_EQ(rows, expected) << c.name;
        EXPECT_FALSE(S().catalogue.InTransaction()) << c.name;
    }
}

TEST(Store, VariantToTextTable) {
    struct Case {
        QVariant value;
        QString text;
        // clang-format off
    } cases[] = {
        {QVariant(static_cast<short>(-3)), "-3"},
        {QVariant(qlonglong(4294967296LL)), "4294967296"},
        {QVariant(2.5), "2.500000"},
        {QVariant(2.5f), "2.500000"},
        {QVariant(QStringLiteral("100%")), "100%"},
        {QVariant(QStringLiteral(" 中文 tag ")), " 中文 tag "},
        {QVariant(true), "-1"},
        {QVariant(false), "0"},
        {QVariant(), "NULL"},
        {QVariant(QByteArray("blob")), "NULL"},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(VariantToText(c.value), c.text) << c.text.toStdString();
    // Long texts are never cut.
    QString longText(5000, u'x');
    EXPECT_EQ(VariantToText(QVariant(longText)).size(), 5000);
}

TEST(Store, TranslationTable) {
    struct Case {
        const char* in;
        const char* out;
        // clang-format off
    } cases[] = {
        {"delete * from main5 ", "delete from main5 "},
        {"DELETE  *  FROM main5", "DELETE FROM main5"},
        {"insert into main5(filedtime) values(#2024-01-05 07:04:09#)",
         "insert into main5(filedtime) values('2024-01-05 07:04:09')"},
        {"select * from main where name='#1 a#b'", "select * from main where name='#1 a#b'"},
        {"select * from main where name='it''s #x#'", "select * from main where name='it''s #x#'"},
        {"select * from main where dir like '% delete * from %'",
         "select * from main where dir like '% delete * from %'"},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(TranslateStatement(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(Store, RegisteredFunctionsAndLike) {
    TempCatalogue c;
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^\d{4}-\d{2}-\d{2} \d{1,2}:\d{1,2}:\d{1,2}$)"))
                    .match(One("select format(now(),'yyyy-mm-dd H:M:S')"))
                    .hasMatch());
    EXPECT_EQ(One("select format('2024-01-05 07:04:09','yyyy-mm-dd H:M:S')"), "2024-01-05 7:4:9");
    EXPECT_EQ(One("select IIF(1=1,'a','b')"), "a");
    EXPECT_EQ(One("select IIF(null,'a','b')"), "b");
    // LIKE ignores the case of ASCII letters, as the catalogue's queries expect.
    ExecuteSql("insert into main(name,findkey,id) values('a',' Report 中文 ',1)", adCmdTextNoRecords, S().catalogue);
    EXPECT_EQ(One("select count(*) from main where findkey like '% report %'"), "1");
    EXPECT_EQ(One("select count(*) from main where findkey like '% 中文 %'"), "1");
    // Date literals become texts the engine stores.
    ExecuteSql("insert into main5(name,id,filedtime) values('n',1,#2024-01-05 7:04:09#)", adCmdTextNoRecords,
               S().catalogue);
    EXPECT_EQ(One("select filedtime from main5"), "2024-01-05 7:04:09");
    ExecuteSql("delete * from main5 ", adCmdTextNoRecords, S().catalogue);
    EXPECT_EQ(One("select count(*) from main5"), "0");
}

TEST(Store, QuotedTextsRoundTrip) {
    TempCatalogue c;
    const QString name = QStringLiteral("it's \"q\" 100% ';--");
    ExecuteSql(QStringLiteral("insert into main(name,id) values('%1',1)").arg(SqlText(name)), adCmdTextNoRecords,
               S().catalogue);
    EXPECT_EQ(One("select name from main where id=1"), name);
    EXPECT_THROW(ExecuteSql("insert into main(name,id) values('it's',2)", adCmdTextNoRecords, S().catalogue), DbError);
}

// The Data Source of another catalogue survives the connection string whatever its name.
TEST(Store, ConnectionStringKeepsAnyDataSource) {
    const QString names[] = {"kv.kdb",   "/data/a b/kv.kdb", "/data/x;y.kdb", "/d/\"q\";'s'.kdb",
                             "'quoted'", " blank ",          "a=b.kdb"};
    for (const QString& n : names) {
        const QString cs = ConnectionStringFor(n);
        EXPECT_EQ(ConnectionField(cs, "Data Source"), n) << cs.toStdString();
        EXPECT_EQ(ConnectionField(cs, "database password"), "qelvmar") << cs.toStdString();
    }
    EXPECT_EQ(ConnectionField(kConnectionString, "Data Source"), "kv.kdb");
    EXPECT_EQ(ConnectionField(kConnectionString, "Provider"), "SQLCipher");
    EXPECT_EQ(ConnectionField("Junk;Data Source = x.kdb ;", "data source"), "x.kdb");
    EXPECT_EQ(ConnectionField(kConnectionString, "User"), "");

    // A catalogue whose file name holds ";" is the one opened.
    TempWorkDir dir;
    CreateCatalogue("x;y.kdb");
    Connection other;
    EXPECT_NO_THROW(other.Open(ConnectionStringFor("x;y.kdb")));
    EXPECT_EQ(other.DataSource(), "x;y.kdb");
}

TEST(Store, NewCatalogueHasTablesInColumnOrder) {
    TempCatalogue c;
    Recordset rs = ExecuteSql("select * from main", adCmdText, S().catalogue);
    QStringList names;
    for (int i = 0; i < rs.FieldCount(); ++i) names << rs.FieldName(i);
    EXPECT_EQ(names.join(','),
              "name,findkey,dir,id,filetype,filesize,filedtime,fileinputdtime,"
              "vol,filedesc,yourid");
    for (const char* t : {"main2", "main4", "main5", "volroot"})
        EXPECT_NO_THROW(ExecuteSql(QStringLiteral("select * from ") + t, adCmdText, S().catalogue)) << t;
    // An insert that omits the id gets max+1.
    ExecuteSql("insert into main2(name, findkey, fid) values('a','a',0)", adCmdTextNoRecords, S().catalogue);
    ExecuteSql("insert into main2(name, findkey, fid) values('b','b',0)", adCmdTextNoRecords, S().catalogue);
    EXPECT_EQ(One("select max(id) from main2"), "2");
    EXPECT_EQ(One("select cid from main2 where id=1"), "0");
    EXPECT_THROW(CreateCatalogue("kv.kdb"), DbError);  // never overwrites
}

// Every way the catalogue cannot be opened gives the engine's description and leaves the
// file exactly as it was.
TEST(Store, OpenFailuresLeaveFileUnchanged) {
    TempWorkDir dir;
    struct Case {
        const char* what;
        std::function<void()> make;
        const char* expect;
        // clang-format off
    } cases[] = {
        {"missing", [] {}, "Could not find file"},
        {"wrong key",
         [] {
             CreateCatalogue("kv.kdb", ConnectionStringFor("kv.kdb").replace("qelvmar", "abcdefg"));
         },
         "is not a database"},
        {"plain text",
         [] {
             QFile f("kv.kdb");
             f.open(QIODevice::WriteOnly);
             f.write("this is not a catalogue\n");
         },
         "is not a database"},
        {"empty sqlcipher db",
         [] {
             sqlite3* db = nullptr;
             sqlite3_open("kv.kdb", &db);
             sqlite3_key(db, "qelvmar", 7);
             sqlite3_exec(db, "PRAGMA cipher_page_size = 4096; create table other(x)", nullptr,
                          nullptr, nullptr);
             sqlite3_close(db);
         },
         "not a Korvel catalogue"},
    };
    // clang-format on
    for (const auto& c : cases) {
        QFile::remove("kv.kdb");
        c.make();
        QByteArray before = QFile::exists("kv.kdb") ? Digest("kv.kdb") : QByteArray();
        try {
            S().catalogue.Open(kConnectionString);
            ADD_FAILURE() << c.what << ": opened";
        } catch (const DbError& e) {
            EXPECT_TRUE(e.description().contains(QString::fromUtf8(c.expect)))
                << c.what << ": " << e.description().toStdString();
        }
        EXPECT_FALSE(S().catalogue.IsOpen());
        if (!before.isEmpty()) {
            EXPECT_EQ(Digest("kv.kdb"), before) << c.what;
        }
        QStringList left = QDir(".").entryList({"kv.kdb-*"});
        EXPECT_TRUE(left.isEmpty()) << c.what << left.join(' ').toStdString();
    }
}

TEST(Store, OpenFailsWhileAnotherProcessLocksTheFile) {
    TempWorkDir dir;
    CreateCatalogue("kv.kdb");
    // A second connection that holds the file in exclusive locking mode.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open("kv.kdb", &other), SQLITE_OK);
    sqlite3_key(other, "qelvmar", 7);
    ASSERT_EQ(sqlite3_exec(other,
                           "PRAGMA cipher_page_size = 4096; PRAGMA locking_mode=EXCLUSIVE;"
                           "BEGIN EXCLUSIVE; insert into main2(name) values('x');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    S().catalogue.SetBusyTimeout(500);  // the lock is not given up: no need to wait long
    try {
        S().catalogue.Open(kConnectionString);
        ADD_FAILURE() << "opened a locked file";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.description().contains("locked")) << e.description().toStdString();
    }
    EXPECT_FALSE(S().catalogue.IsOpen());
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_NO_THROW(S().catalogue.Open(kConnectionString));
    S().catalogue.Close();
}

TEST(PageSet, PagesSortAndCursor) {
    TempCatalogue c;
    for (int i = 1; i <= 61; ++i)
        ExecuteSql(QStringLiteral("insert into main(name,findkey,id,yourid) values('n%1',' t ',%2,'%3')")
                       .arg(i, 3, 10, QChar('0'))
                       .arg(i)
                       .arg(100 - i),
                   adCmdTextNoRecords, S().catalogue);
    RowQuery q;
    q.condition = "findkey like '% t %'";
    q.order = {{"name", false}};
    S().pageset.Open(q, S().catalogue);
    EXPECT_EQ(S().pageset.State(), 1);
    EXPECT_EQ(S().pageset.RecordCount(), 61);
    EXPECT_EQ(S().pageset.PageCount(), 3);
    EXPECT_EQ(S().pageset.FieldCount(), 11);
    EXPECT_EQ(S().pageset.FieldName(3), "id");
    S().pageset.SetAbsolutePage(3);
    EXPECT_EQ(VariantToText(S().pageset.Field("name")), "n061");
    S().pageset.MoveNext();
    EXPECT_TRUE(S().pageset.Eof());
    S().pageset.SetAbsolutePage(1);
    EXPECT_EQ(VariantToText(S().pageset.Field(0)), "n001");

    S().pageset.SetSort("yourid ASC");
    S().pageset.SetAbsolutePage(1);
    EXPECT_EQ(VariantToText(S().pageset.Field("name")), "n061");  // yourid 39 is smallest
    S().pageset.SetSort("name DESC");
    S().pageset.SetAbsolutePage(1);
    EXPECT_EQ(VariantToText(S().pageset.Field("name")), "n061");
    S().pageset.MoveNext();
    EXPECT_EQ(VariantToText(S().pageset.Field("name")), "n060");
    EXPECT_THROW(S().pageset.SetSort("nosuchfield ASC"), DbError);

    // A row deleted after the listing opened leaves it when the rows are read again.
    S().pageset.SetSort("");
    ExecuteSql("delete from main where id=2", adCmdTextNoRecords, S().catalogue);
    S().pageset.Refresh();
    S().pageset.SetAbsolutePage(1);
    S().pageset.MoveNext();
    EXPECT_EQ(VariantToText(S().pageset.Field("name")), "n003");
    EXPECT_EQ(S().pageset.RecordCount(), 60);

    S().pageset.Close();
    EXPECT_EQ(S().pageset.State(), 0);
    EXPECT_TRUE(S().pageset.Eof());
}

TEST(PageSet, OtherTablesAndEmptyListings) {
    TempCatalogue c;
    ExecuteSql("insert into main2(name,findkey,fid,cid) values('a','a',0,5)", adCmdTextNoRecords, S().catalogue);
    RowQuery nodes;
    nodes.table = "main2";
    nodes.condition = "cid=?";
    nodes.params = {5};
    S().pageset.Open(nodes, S().catalogue);
    ASSERT_FALSE(S().pageset.Eof());
    EXPECT_EQ(VariantToText(S().pageset.Field(0)), "1");
    RowQuery none;
    none.byIds = true;
    none.ids = {-1};
    none.order = {{"fileinputdtime", true}};
    S().pageset.Open(none, S().catalogue);
    EXPECT_EQ(S().pageset.RecordCount(), 0);
    EXPECT_EQ(S().pageset.PageCount(), 0);
    EXPECT_TRUE(S().pageset.Eof());
    RowQuery bad;
    for (const QString table : {"nosuchtable", "main; drop table main", ""}) {
        bad.table = table;
        EXPECT_THROW(S().pageset.Open(bad, S().catalogue), DbError) << table.toStdString();
        EXPECT_EQ(S().pageset.State(), 0);
    }
    bad = RowQuery();
    bad.order = {{"nosuchcolumn", false}};
    EXPECT_THROW(S().pageset.Open(bad, S().catalogue), DbError);
    bad = RowQuery();
    bad.condition = "nosuchcolumn = 1";
    EXPECT_THROW(S().pageset.Open(bad, S().catalogue), DbError);
    EXPECT_EQ(S().pageset.State(), 0);
}

// Nothing in the process but the engine may open the open catalogue's files: a reader
// that did would drop the engine's locks when it closed its descriptor.
TEST(Store, OpenCatalogueFilesAreRefusedToInProcessReaders) {
    TempCatalogue cat;
    ExecuteSql(QStringLiteral("insert into main2(name, findkey, fid) values('n', 't', 0)"), adCmdTextNoRecords,
               S().catalogue);
    QDir().mkdir("sub");
    ASSERT_TRUE(QFile::link(cat.path() + "/kv.kdb", "sub/link.kdb"));
    for (const QString& path : {QString("kv.kdb"), QString("./kv.kdb-wal"), QString("kv.kdb-shm"),
                                QString("kv.kdb-journal"), cat.path() + "/sub/../kv.kdb", QString("sub/link.kdb")}) {
        EXPECT_TRUE(IsProtectedFile(path)) << path.toStdString();
        EXPECT_FALSE(ProtectedFileMessage(path).isEmpty()) << path.toStdString();
    }
    EXPECT_FALSE(IsProtectedFile("kv.kdb.bak"));
    EXPECT_FALSE(IsProtectedFile("sub"));
    S().catalogue.Close();
    EXPECT_FALSE(IsProtectedFile("kv.kdb"));  // a closed catalogue is an ordinary file
}

// A read-only catalogue opens for reading: its rows can be read, every write transaction
// fails with a clear message, and nothing is left beside it. An empty file is no
// catalogue, and CreateCatalogue makes one of it.
TEST(Store, ReadOnlyAndEmptyCatalogueFiles) {
    TempWorkDir work;
    CreateCatalogue("kv.kdb");
    {
        Connection w;
        w.Open(kConnectionString);
        w.Execute("insert into main(id, name) values(1, 'kept')", adCmdTextNoRecords);
    }
    QFile::setPermissions("kv.kdb", QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    Connection c;
    ASSERT_NO_THROW(c.Open(kConnectionString));
    EXPECT_TRUE(c.IsReadOnly());
    Recordset rs = c.Execute("select name from main", adCmdText);
    EXPECT_EQ(rs.Field(0).toString(), "kept");
    rs.Close();
    try {
        c.Execute("delete from main", adCmdTextNoRecords);
        ADD_FAILURE() << "a read-only catalogue was written";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.description().contains("read-only")) << e.what();
    }
    EXPECT_THROW(WriteTransaction tx(c), DbError);
    c.Close();
    EXPECT_FALSE(QFile::exists("kv.kdb-wal"));
    EXPECT_FALSE(QFile::exists("kv.kdb-shm"));
    QFile::setPermissions("kv.kdb", QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_NO_THROW(c.Open(kConnectionString));
    c.Close();

    QFile::remove("kv.kdb");
    QFile empty("kv.kdb");
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_THROW(c.Open(kConnectionString), DbError);
    EXPECT_NO_THROW(CreateCatalogue("kv.kdb"));
    EXPECT_NO_THROW(c.Open(kConnectionString));
}
