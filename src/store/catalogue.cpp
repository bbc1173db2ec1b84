#include "store/catalogue.h"

#include "base/fileguard.h"
#include "base/fsutil.h"
#include "store/pageset.h"
#include "store/schema.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringEncoder>

#include <chrono>
#include <cstdio>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

namespace korvel {

DbError::DbError(int code, QString description)
    : code_(code), description_(std::move(description)), utf8_(description_.toStdString()) {}

namespace {

// The engine counts every allocation it makes under a mutex of its own unless told not
// to; nothing here reads those counts, and a bulk write makes millions of allocations.
// Only takes effect before the engine's first use in the process.
void ConfigureEngineOnce() {
    static const bool configured = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return true;
    }();
    (void)configured;
}

DbError ErrorOf(sqlite3* db, int rc) {
    const char* msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    return DbError(rc, QString::fromUtf8(msg ? msg : sqlite3_errstr(rc)));
}

// ---- registered functions ------------------------------------------------------------

QString TextArg(sqlite3_value* v) {
    const unsigned char* t = sqlite3_value_text(v);
    return t ? QString::fromUtf8(reinterpret_cast<const char*>(t)) : QString();
}

void ResultText(sqlite3_context* ctx, const QString& s) {
    QByteArray b = s.toUtf8();
    sqlite3_result_text(ctx, b.constData(), b.size(), SQLITE_TRANSIENT);
}

void FnNow(sqlite3_context* ctx, int, sqlite3_value**) {
    ResultText(ctx, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

// Parses the date-time texts the catalogue holds ("2024-01-05 7:04:09", "2024-01-05").
QDateTime ParseDateTime(const QString& text) {
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*(\d{4})[-/](\d{1,2})[-/](\d{1,2})(?:[ T]+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$)"));
    auto m = re.match(text);
    if (!m.hasMatch()) return {};
    QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    QTime t(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    return QDateTime(d, t);
}

// format(value, pattern) for date patterns: yyyy/yy year, mm/m month, dd/d day,
// HH/H or hh/h hour, MM/M or nn/n minute, SS/S or ss/s second (one letter: no padding).
QString FormatDate(const QDateTime& dt, const QString& pattern) {
    QString out;
    for (int i = 0; i < pattern.size();) {
        QChar c = pattern[i];
        int n = 1;
        while (i + n < pattern.size() && pattern[i + n] == c) ++n;
        auto num = [&](int v, int width) { return QString::number(v).rightJustified(width, u'0'); };
        switch (c.unicode()) {
            case 'y': out += n >= 4 ? num(dt.date().year(), 4) : num(dt.date().year() % 100, 2); break;
            case 'm': out += num(dt.date().month(), n >= 2 ? 2 : 1); break;
            case 'd': out += num(dt.date().day(), n >= 2 ? 2 : 1); break;
            case 'H':
            case 'h': out += num(dt.time().hour(), n >= 2 ? 2 : 1); break;
            case 'M':
            case 'n': out += num(dt.time().minute(), n >= 2 ? 2 : 1); break;
            case 'S':
            case 's': out += num(dt.time().second(), n >= 2 ? 2 : 1); break;
            default: out += QString(n, c); break;
        }
        i += n;
    }
    return out;
}

void FnFormat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    QString value = TextArg(argv[0]);
    QDateTime dt = ParseDateTime(value);
    if (!dt.isValid()) {
        ResultText(ctx, value);
        return;
    }
    ResultText(ctx, FormatDate(dt, TextArg(argv[1])));
}

void FnIif(sqlite3_context* ctx, int, sqlite3_value** argv) {
    bool cond = sqlite3_value_type(argv[0]) != SQLITE_NULL && sqlite3_value_double(argv[0]) != 0.0;
    sqlite3_result_value(ctx, cond ? argv[1] : argv[2]);
}

// timekey(text): TimeOrderKey of a time text (yyyymmddhhmmss), null for any other text,
// so that times compare as times whatever the padding of their parts.
void FnTimeKey(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const unsigned char* t = sqlite3_value_text(argv[0]);
    const std::optional<qint64> key =
        t ? TimeOrderKey(reinterpret_cast<const char*>(t), sqlite3_value_bytes(argv[0])) : std::nullopt;
    if (key)
        sqlite3_result_int64(ctx, *key);
    else
        sqlite3_result_null(ctx);
}

void RegisterFunctions(sqlite3* db) {
    sqlite3_create_function(db, "timekey", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, FnTimeKey, nullptr, nullptr);
    sqlite3_create_function(db, "now", 0, SQLITE_UTF8, nullptr, FnNow, nullptr, nullptr);
    sqlite3_create_function(db, "format", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, FnFormat, nullptr, nullptr);
    sqlite3_create_function(db, "iif", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, FnIif, nullptr, nullptr);
}

void ExecPlain(sqlite3* db, const char* sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        QString d = QString::fromUtf8(err ? err : sqlite3_errstr(rc));
        sqlite3_free(err);
        throw DbError(rc, d);
    }
}

// The busy handler: while another program holds the write lock, try again every
// millisecond until the connection's busy timeout has passed. The engine's own timeout handler backs
// off to one try in 100 ms, which almost never meets the short gap a long import leaves
// between two of its transactions, so the waiter would starve until it timed out.
int WaitForLock(void* timeoutMs, int count) {
    thread_local std::chrono::steady_clock::time_point start;
    const auto now = std::chrono::steady_clock::now();
    if (count == 0) start = now;
    if (now - start >= std::chrono::milliseconds(*static_cast<const int*>(timeoutMs))) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 1;
}

// Keys a freshly opened handle and applies the page size used by every catalogue.
void KeyHandle(sqlite3* db, const QString& password) {
    QByteArray pw = password.toUtf8();
    int rc = sqlite3_key(db, pw.constData(), pw.size());
    if (rc != SQLITE_OK) throw ErrorOf(db, rc);
    ExecPlain(db, "PRAGMA cipher_page_size = 4096;");
}

// True when this process may write the file at native path (or create it, when it does not
// exist, in its folder). A file that nobody may write counts as read-only even for root,
// who could write it anyway: the -wal and -shm files the engine would create beside it
// take its mode, and would lock every other user out.
bool Writable(const QByteArray& native, bool mustExist) {
    struct stat st;
    if (::stat(native.constData(), &st) != 0) return !mustExist;
    return ::access(native.constData(), W_OK) == 0 && (st.st_mode & 0222) != 0;
}

// Why the catalogue at path cannot be written, or empty text: what a writing command
// says. Nothing is created or changed to find out.
QString ReadOnlyReason(const QString& path) {
    const QByteArray native = EncodePath(path);
    if (!Writable(native, true))
        return QStringLiteral(
                   "目录文件 %1 是只读的，只能查看，不能修改。(the catalogue file is read-only: "
                   "it can be listed, searched and exported from, not changed)")
            .arg(path);
    for (const char* suffix : {"-wal", "-shm"}) {
        if (!Writable(native + suffix, false))
            return QStringLiteral(
                       "%1%2 是只读的，目录只能查看，不能修改。(the catalogue's %2 file is "
                       "read-only: the catalogue can be listed, not changed; make the file "
                       "writable or remove it while no program uses the catalogue)")
                .arg(path, QLatin1String(suffix));
    }
    const QByteArray folder = EncodePath(QFileInfo(path).absolutePath());
    if (::access(folder.constData(), W_OK) != 0)
        return QStringLiteral(
                   "目录文件 %1 所在的文件夹是只读的，目录只能查看，不能修改。(the folder holding "
                   "the catalogue is read-only: the catalogue can be listed, not changed; "
                   "Korvel needs to create its -wal and -shm files there to write)")
            .arg(path);
    return QString();
}

// An URI that opens the file at native path as immutable: read without locks and without
// the -wal and -shm files, which cannot be made on read-only media.
QByteArray ImmutableUri(const QByteArray& absoluteNative) {
    QByteArray uri = "file:";
    for (char ch : absoluteNative) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '.' ||
            c == '_' || c == '-' || c == '~')
            uri += static_cast<char>(c);
        else
            uri += '%' + QByteArray::number(c, 16).rightJustified(2, '0').toUpper();
    }
    return uri + "?immutable=1";
}

}  // namespace

// ---- Statement -------------------------------------------------------------------------

Statement::Statement(sqlite3* db, const QString& sql) : db_(db) {
    QByteArray text = sql.toUtf8();
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db, text.constData(), text.size(), &stmt_, &tail);
    if (rc != SQLITE_OK) {
        DbError e = ErrorOf(db, rc);
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        throw e;
    }
    if (!stmt_) throw DbError(SQLITE_MISUSE, QStringLiteral("empty statement"));
}

Statement::Statement(const Connection& conn, const QString& sql) {
    if (!conn.IsOpen()) throw DbError(SQLITE_MISUSE, QStringLiteral("the catalogue is not open"));
    *this = Statement(conn.handle(), sql);
}

Statement::~Statement() {
    if (stmt_) sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& o) noexcept : db_(o.db_), stmt_(o.stmt_) { o.stmt_ = nullptr; }

Statement& Statement::operator=(Statement&& o) noexcept {
    if (this != &o) {
        if (stmt_) sqlite3_finalize(stmt_);
        db_ = o.db_;
        stmt_ = o.stmt_;
        o.stmt_ = nullptr;
    }
    return *this;
}

bool Statement::Step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw ErrorOf(db_, rc);
}

void Statement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

void Statement::Bind(int index, const QVariant& value) {
    int rc = SQLITE_OK;
    if (value.isNull()) {
        rc = sqlite3_bind_null(stmt_, index);
    } else if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int ||
               value.typeId() == QMetaType::UInt || value.typeId() == QMetaType::ULongLong) {
        rc = sqlite3_bind_int64(stmt_, index, value.toLongLong());
    } else if (value.typeId() == QMetaType::Double) {
        rc = sqlite3_bind_double(stmt_, index, value.toDouble());
    } else {
        QByteArray b = value.toString().toUtf8();
        rc = sqlite3_bind_text(stmt_, index, b.constData(), b.size(), SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK) throw ErrorOf(db_, rc);
}

void Statement::BindText(int index, QStringView text, QByteArray& buffer) {
    QStringEncoder utf8(QStringEncoder::Utf8);
    buffer.resize(utf8.requiredSpace(text.size()));
    char* end = utf8.appendToBuffer(buffer.data(), text);
    const int rc =
        sqlite3_bind_text(stmt_, index, buffer.constData(), static_cast<int>(end - buffer.constData()), SQLITE_STATIC);
    if (rc != SQLITE_OK) throw ErrorOf(db_, rc);
}

int Statement::ColumnCount() const { return sqlite3_column_count(stmt_); }

QString Statement::ColumnName(int i) const {
    const char* n = sqlite3_column_name(stmt_, i);
    return n ? QString::fromUtf8(n) : QString();
}

QVariant Statement::Column(int i) const {
    switch (sqlite3_column_type(stmt_, i)) {
        case SQLITE_INTEGER: return QVariant(static_cast<qlonglong>(sqlite3_column_int64(stmt_, i)));
        case SQLITE_FLOAT: return QVariant(sqlite3_column_double(stmt_, i));
        case SQLITE_TEXT: {
            const char* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
            return QVariant(QString::fromUtf8(t, sqlite3_column_bytes(stmt_, i)));
        }
        case SQLITE_BLOB: {
            const char* b = static_cast<const char*>(sqlite3_column_blob(stmt_, i));
            return QVariant(QByteArray(b, sqlite3_column_bytes(stmt_, i)));
        }
        default: return QVariant();
    }
}

// ---- Recordset -------------------------------------------------------------------------

Recordset::Recordset(std::shared_ptr<Statement> stmt) : stmt_(std::move(stmt)) { eof_ = !stmt_->Step(); }

void Recordset::MoveNext() {
    if (Eof()) return;
    eof_ = !stmt_->Step();
}

int Recordset::FieldCount() const { return stmt_ ? stmt_->ColumnCount() : 0; }

QString Recordset::FieldName(int i) const { return stmt_ ? stmt_->ColumnName(i) : QString(); }

QVariant Recordset::Field(int i) const {
    if (Eof() || i < 0 || i >= FieldCount()) return QVariant();
    return stmt_->Column(i);
}

QVariant Recordset::Field(const QString& name) const {
    for (int i = 0; i < FieldCount(); ++i)
        if (FieldName(i).compare(name, Qt::CaseInsensitive) == 0) return Field(i);
    return QVariant();
}

void Recordset::Close() {
    stmt_.reset();
    eof_ = true;
}

// ---- Connection ------------------------------------------------------------------------

// Fields are "key=value" separated by ";". A value may stand in double or single quotes,
// the quote doubled inside, so that a file name holding ";" or a quote stays whole.
QString ConnectionField(const QString& connectionString, const QString& key) {
    const QString& s = connectionString;
    qsizetype i = 0;
    while (i < s.size()) {
        const qsizetype eq = s.indexOf(u'=', i);
        const qsizetype semi = s.indexOf(u';', i);
        if (eq < 0) break;
        if (semi >= 0 && semi < eq) {  // a piece without "=": skipped
            i = semi + 1;
            continue;
        }
        const QString name = s.mid(i, eq - i).trimmed();
        qsizetype j = eq + 1;
        while (j < s.size() && s[j].isSpace()) ++j;
        QString value;
        if (j < s.size() && (s[j] == u'"' || s[j] == u'\'')) {
            const QChar q = s[j++];
            for (; j < s.size(); ++j) {
                if (s[j] == q) {
                    if (j + 1 < s.size() && s[j + 1] == q) {
                        value += q;
                        ++j;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += s[j];
            }
            const qsizetype next = s.indexOf(u';', j);
            i = next < 0 ? s.size() : next + 1;
        } else {
            const qsizetype end = s.indexOf(u';', j);
            value = s.mid(j, (end < 0 ? s.size() : end) - j).trimmed();
            i = end < 0 ? s.size() : end + 1;
        }
        if (name.compare(key, Qt::CaseInsensitive) == 0) return value;
    }
    return QString();
}

QString ConnectionStringFor(const QString& dataSource) {
    QString value = dataSource;
    const bool quote =
        value.contains(u';') || value.startsWith(u'"') || value.startsWith(u'\'') || value != value.trimmed();
    if (quote) value = u'"' + value.replace(u'"', QStringLiteral("\"\"")) + u'"';
    QString s = kConnectionString;
    return s.replace(QStringLiteral("Data Source=kv.kdb"), QStringLiteral("Data Source=") + value);
}

Connection::~Connection() { Close(); }

bool Connection::RootRemembered(const QString& key) const {
    std::lock_guard<std::mutex> lock(rememberedMutex_);
    return remembered_.count(key) > 0;
}

void Connection::NoteRootRemembered(const QString& key) {
    std::lock_guard<std::mutex> lock(rememberedMutex_);
    remembered_.insert(key);
}

void Connection::ForgetRememberedRoots() {
    std::lock_guard<std::mutex> lock(rememberedMutex_);
    remembered_.clear();
}

void Connection::Open(const QString& connectionString) {
    Close();
    QString source = ConnectionField(connectionString, QStringLiteral("Data Source"));
    QString password = ConnectionField(connectionString, QStringLiteral("Database Password"));
    if (source.isEmpty()) throw DbError(SQLITE_MISUSE, QStringLiteral("no Data Source given"));
    QFileInfo fi(source);
    if (!fi.exists())
        throw DbError(SQLITE_CANTOPEN, QStringLiteral("Could not find file '%1'.").arg(fi.absoluteFilePath()));
    if (fi.isDir())
        throw DbError(SQLITE_CANTOPEN,
                      QStringLiteral("'%1' is a folder, not a catalogue file.").arg(fi.absoluteFilePath()));

    if (fi.size() == 0)
        throw DbError(SQLITE_NOTADB,
                      QStringLiteral("'%1' is an empty file, not a catalogue (korvel-cli init makes it one).")
                          .arg(fi.absoluteFilePath()));
    // A catalogue this process may not write is opened for reading. Without a -wal file
    // no program has it open for writing, and everything is in the file itself: it is
    // read as immutable, so that nothing is made beside it (read-only media, a read-only
    // file or folder). With one, the engine reads it through the -wal and -shm files.
    const QString readOnly = ReadOnlyReason(source);
    const bool ro = !readOnly.isEmpty();
    ConfigureEngineOnce();
    sqlite3* db = nullptr;
    QByteArray path = EncodePath(source);
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
    if (ro) {
        flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX;
        struct stat wal;
        if (::stat((path + "-wal").constData(), &wal) != 0) {
            path = ImmutableUri(EncodePath(fi.absoluteFilePath()));
            flags |= SQLITE_OPEN_URI;
        }
    }
    int rc = sqlite3_open_v2(path.constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        DbError e = ErrorOf(db, rc);
        sqlite3_close(db);
        throw e;
    }
    try {
        sqlite3_busy_handler(db, WaitForLock, &busyTimeoutMs_);
        KeyHandle(db, password);
        // The first read tells a wrong key or a foreign file ("file is not a database")
        // before anything is written to it.
        Statement check(db, QStringLiteral("select count(*) from sqlite_master where type='table' and name='main'"));
        check.Step();
        if (check.Column(0).toLongLong() == 0)
            throw DbError(SQLITE_NOTADB, QStringLiteral("file is not a Korvel catalogue (no table main)"));
        check = Statement();
        if (!ro) ExecPlain(db, "PRAGMA journal_mode = WAL;");
        ExecPlain(db, "PRAGMA synchronous = NORMAL;");
        // Catalogues made by earlier versions get what they lack. Checked first, so that
        // opening an up-to-date catalogue writes nothing.
        {
            Statement has(db, QStringLiteral("select count(*) from sqlite_master where name in ('") +
                                  SchemaUpgradeNames().join(QStringLiteral("','")) + QStringLiteral("')"));
            has.Step();
            if (!ro && has.Column(0).toLongLong() < SchemaUpgradeNames().size()) {
                ExecPlain(db, "BEGIN IMMEDIATE");
                for (const char* st : SchemaUpgradeStatements()) ExecPlain(db, st);
                ExecPlain(db, "COMMIT");
            }
        }
        RegisterFunctions(db);
    } catch (...) {
        sqlite3_close_v2(db);
        throw;
    }
    db_ = db;
    dataSource_ = source;
    connectionString_ = QStringLiteral("Data Source=\"%1\";Database Password=\"%2\"")
                            .arg(QString(fi.absoluteFilePath()).replace(u'"', QStringLiteral("\"\"")),
                                 QString(password).replace(u'"', QStringLiteral("\"\"")));
    readOnly_ = ro;
    ProtectCatalogueFiles(source);
}

void Connection::Close() {
    ForgetRememberedRoots();
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        UnprotectCatalogueFiles(dataSource_);
    }
}

Recordset Connection::Execute(const QString& sql, int options) {
    if (!db_) throw DbError(SQLITE_MISUSE, QStringLiteral("the catalogue is not open"));
    auto stmt = std::make_shared<Statement>(db_, TranslateStatement(sql));
    if (options == adCmdTextNoRecords) {
        if (!sqlite3_stmt_readonly(stmt->handle())) {
            WriteTransaction tx(*this);
            while (stmt->Step()) {
            }
            stmt.reset();
            tx.Commit();
            return Recordset();
        }
        while (stmt->Step()) {
        }
        return Recordset();
    }
    return Recordset(std::move(stmt));
}

void Connection::Begin() {
    if (!db_) throw DbError(SQLITE_MISUSE, QStringLiteral("the catalogue is not open"));
    if (readOnly_) {
        const QString why = ReadOnlyReason(dataSource_);
        throw DbError(SQLITE_READONLY, why.isEmpty() ? QStringLiteral("目录以只读方式打开，不能修改。(the catalogue "
                                                                      "was opened read-only: it cannot be changed)")
                                                     : why);
    }
    if (!sqlite3_get_autocommit(db_)) return;
    ExecPlain(db_, "BEGIN IMMEDIATE");
    transactionsBegun_.fetch_add(1, std::memory_order_relaxed);
}

void Connection::Commit() {
    if (db_ && !sqlite3_get_autocommit(db_)) ExecPlain(db_, "COMMIT");
}

void Connection::Rollback() {
    if (db_ && !sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool Connection::InTransaction() const { return db_ && !sqlite3_get_autocommit(db_); }

qint64 Connection::LastInsertId() const { return db_ ? sqlite3_last_insert_rowid(db_) : 0; }

int Connection::Changes() const { return db_ ? sqlite3_changes(db_) : 0; }

QString Connection::ChangeStamp() {
    Statement st(*this, QStringLiteral("pragma data_version"));
    const qint64 version = st.Step() ? st.Column(0).toLongLong() : -1;
    return QStringLiteral("%1/%2").arg(version).arg(sqlite3_total_changes(db_));
}

WriteTransaction::WriteTransaction(Connection& conn) : conn_(conn) {
    if (!conn_.InTransaction()) {
        conn_.Begin();
        owner_ = true;
    }
}

WriteTransaction::~WriteTransaction() {
    if (owner_) conn_.Rollback();
}

void WriteTransaction::Commit() {
    if (!owner_) return;
    conn_.Commit();
    owner_ = false;
}

void CreateCatalogue(const QString& path, const QString& connectionString) {
    const QFileInfo existing(path);
    const bool emptyFile = existing.exists() && existing.isFile() && existing.size() == 0;
    if (existing.exists() && !emptyFile)
        throw DbError(SQLITE_CANTOPEN, QStringLiteral("'%1' already exists.").arg(path));
    sqlite3* db = nullptr;
    QByteArray p = EncodePath(path);
    int rc = sqlite3_open_v2(p.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        DbError e = ErrorOf(db, rc);
        sqlite3_close(db);
        throw e;
    }
    try {
        KeyHandle(db, ConnectionField(connectionString, QStringLiteral("Database Password")));
        ExecPlain(db, "BEGIN");
        for (const char* s : SchemaStatements()) ExecPlain(db, s);
        ExecPlain(db, "COMMIT");
        ExecPlain(db, "PRAGMA journal_mode = WAL;");
    } catch (...) {
        sqlite3_close(db);
        // A file this call made goes again; an empty file that was there stays as it was.
        if (emptyFile) {
            QFile::resize(path, 0);
        } else {
            QFile::remove(path);
        }
        throw;
    }
    sqlite3_close(db);
}

// ---- translation -----------------------------------------------------------------------

QString TranslateStatement(const QString& sql) {
    QString out;
    out.reserve(sql.size());
    const int n = sql.size();
    for (int i = 0; i < n;) {
        QChar c = sql[i];
        if (c == u'\'') {  // copy a quoted text as it is, with its doubled quotes
            int j = i + 1;
            while (j < n) {
                if (sql[j] == u'\'') {
                    if (j + 1 < n && sql[j + 1] == u'\'') {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            out += QStringView(sql).mid(i, qMin(j + 1, n) - i);
            i = j + 1;
        } else if (c == u'#') {  // #date# literal becomes a quoted text
            int j = sql.indexOf(u'#', i + 1);
            if (j < 0) {
                out += c;
                ++i;
                continue;
            }
            QString lit = sql.mid(i + 1, j - i - 1);
            out += u'\'' + lit.replace(u'\'', QStringLiteral("''")) + u'\'';
            i = j + 1;
        } else {
            out += c;
            ++i;
        }
    }
    static const QRegularExpression del(QStringLiteral(R"(^(\s*delete)\s+\*\s+(from\b))"),
                                        QRegularExpression::CaseInsensitiveOption);
    out.replace(del, QStringLiteral("\\1 \\2"));
    return out;
}

Recordset ExecuteSql(const QString& sql, int options, Connection& conn) { return conn.Execute(sql, options); }

QString VariantToText(const QVariant& v) {
    if (!v.isValid() || v.isNull()) return QStringLiteral("NULL");
    switch (v.typeId()) {
        case QMetaType::Short:
        case QMetaType::Int:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::UShort:
        case QMetaType::UInt:
        case QMetaType::ULong:
        case QMetaType::ULongLong: return QString::number(v.toLongLong());
        case QMetaType::Float:
        case QMetaType::Double: {
            char buf[512];
            std::snprintf(buf, sizeof buf, "%f", v.toDouble());
            return QString::fromLatin1(buf);
        }
        case QMetaType::QString: return v.toString();
        case QMetaType::Bool: return v.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
        default: return QStringLiteral("NULL");
    }
}

QString TextOrEmpty(const QVariant& value) { return value.isNull() ? QString() : VariantToText(value); }

QString SqlText(const QString& text) {
    QString s = text;
    return s.replace(u'\'', QStringLiteral("''"));
}

QDateTime CatalogueTime(const QString& text) { return ParseDateTime(text); }

}  // namespace korvel
