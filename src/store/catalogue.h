#pragma once
// Catalogue access: the SQLCipher connection, statement execution with the two option
// values, the statement translation layer, value-to-text conversion and fresh record ids.
// The engine's C API is used only here and in pageset.cpp.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <QStringView>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <set>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace korvel {

// The fixed connection string; the access layer reads Data Source and the password.
inline const QString kConnectionString = QStringLiteral(
    "Provider=SQLCipher;Data Source=kv.kdb;Persist Security Info=False;"
    "Database Password=qelvmar");

// How long a statement waits for another program's write lock before it fails, unless
// the connection is given another time (Connection::SetBusyTimeout).
inline constexpr int kBusyTimeoutMs = 10000;

// Execution options: queries whose rows are read, and statements that change data.
inline constexpr int adCmdText = 1;
inline constexpr int adCmdTextNoRecords = 129;

// A database error: the engine's code and description.
class DbError : public std::exception {
public:
    DbError(int code, QString description);
    int code() const { return code_; }
    const QString& description() const { return description_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    int code_;
    QString description_;
    std::string utf8_;
};

// RAII owner of one prepared statement.
class Connection;

class Statement {
public:
    Statement() = default;
    Statement(sqlite3* db, const QString& sql);  // throws DbError
    // A statement on an open connection; throws DbError when it is not open.
    Statement(const Connection& conn, const QString& sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Advances one row; true while a row is available. Throws DbError.
    bool Step();
    void Reset();
    void Bind(int index, const QVariant& value);  // 1-based, for the project's own statements
    // Binds text without a copy of it: buffer receives its UTF-8 form and must stay
    // unchanged until the statement is reset. A buffer kept per bound value is reused
    // from row to row, so a loop of inserts allocates nothing per value.
    void BindText(int index, QStringView text, QByteArray& buffer);
    int ColumnCount() const;
    QString ColumnName(int i) const;
    QVariant Column(int i) const;
    sqlite3_stmt* handle() const { return stmt_; }

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

// A forward-only result of ExecuteSql: EOF, MoveNext, field access by index and name.
class Recordset {
public:
    Recordset() = default;
    explicit Recordset(std::shared_ptr<Statement> stmt);

    bool IsOpen() const { return static_cast<bool>(stmt_); }
    bool Eof() const { return !stmt_ || eof_; }
    void MoveNext();  // throws DbError
    int FieldCount() const;
    QString FieldName(int i) const;
    QVariant Field(int i) const;
    QVariant Field(const QString& name) const;
    void Close();

private:
    std::shared_ptr<Statement> stmt_;
    bool eof_ = true;
};

// One connection to a catalogue file.
class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the catalogue named by the connection string's Data Source (relative to the
    // working directory) with its password. Never creates a file and never changes a file
    // that is not a catalogue. A catalogue that this process may not write (a read-only
    // file or folder) is opened for reading only, without creating or changing any file;
    // IsReadOnly() then tells, and every write fails with a clear error.
    // Throws DbError with the engine's description.
    void Open(const QString& connectionString);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    bool IsReadOnly() const { return readOnly_; }
    QString DataSource() const { return dataSource_; }
    // A connection string that opens the same catalogue file (by its absolute path) with
    // the same password: a worker thread opens its own connection with it.
    QString ConnectionString() const { return connectionString_; }

    // Runs a statement (translated first). Options adCmdText return the rows; options
    // adCmdTextNoRecords run the statement to its end and return an empty recordset.
    // A statement that changes data outside a transaction runs in one of its own that
    // takes the write lock first (see Begin).
    Recordset Execute(const QString& sql, int options);

    // Write transactions. Begin takes the write lock at once ("BEGIN IMMEDIATE"),
    // waiting for other writers within the busy timeout, so that whatever the
    // transaction reads before it writes (max(id), a same-file check) is still true when
    // it commits. Throws DbError when the lock is not had in time.
    void Begin();
    void Commit();
    void Rollback();  // never throws
    bool InTransaction() const;
    // The number of transactions Begin has opened on this connection: while the
    // connection stays in a transaction and this stays the same, it is the same one.
    long long TransactionsBegun() const { return transactionsBegun_.load(std::memory_order_relaxed); }

    // The id of the last row inserted on this connection.
    qint64 LastInsertId() const;
    // Rows changed by the last statement.
    int Changes() const;
    // A value that differs whenever the catalogue may have changed since it was last
    // taken: a commit by any other connection, or a change made on this one. A command
    // that reads, asks the user and then writes takes it before reading and again inside
    // its write transaction; when both agree, what it read is still current.
    // Throws DbError.
    QString ChangeStamp();

    sqlite3* handle() const { return db_; }

    // How long a statement on this connection waits for another program's write lock
    // before it fails (kBusyTimeoutMs unless set); takes effect at once, open or not.
    void SetBusyTimeout(int ms) { busyTimeoutMs_ = ms; }
    int BusyTimeout() const { return busyTimeoutMs_; }

    // The (identity, root) pairs this connection has written to table volroot: a pair
    // remembered once is not written again (see RememberVolumeRoot).
    bool RootRemembered(const QString& key) const;
    void NoteRootRemembered(const QString& key);
    // Forgets them (after volroot rows were deleted or rolled back behind its back).
    void ForgetRememberedRoots();

private:
    sqlite3* db_ = nullptr;
    int busyTimeoutMs_ = kBusyTimeoutMs;
    std::atomic<long long> transactionsBegun_{0};
    mutable std::mutex rememberedMutex_;
    std::set<QString> remembered_;
    QString dataSource_;
    QString connectionString_;
    bool readOnly_ = false;
};

// One write transaction on a connection: begun (with the write lock) on construction,
// committed by Commit(), rolled back when it goes out of scope without Commit (an
// exception, an early return). Inside a transaction that someone else opened it does
// nothing: the owner of that one commits or rolls back.
class WriteTransaction {
public:
    explicit WriteTransaction(Connection& conn);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;
    void Commit();

private:
    Connection& conn_;
    bool owner_ = false;
};

// Connection-string fields.
QString ConnectionField(const QString& connectionString, const QString& key);
// The connection string with another Data Source (synchronisation target).
QString ConnectionStringFor(const QString& dataSource);

// Creates an empty catalogue file at path (tables main, main2, main4, main5, volroot and
// their indexes). An empty (zero-byte) file at path is made into a catalogue. Throws
// DbError when a file with content exists or the file cannot be created.
void CreateCatalogue(const QString& path, const QString& connectionString = kConnectionString);

// Rewrites the constructs the engine lacks: "delete * from", #date# literals.
// Functions now(), format() and IIF() are registered on every connection.
QString TranslateStatement(const QString& sql);

// Runs a statement on conn. Throws DbError.
Recordset ExecuteSql(const QString& sql, int options, Connection& conn);

// Text form of a field value: integers "%lld", floats "%f", text unchanged, booleans
// -1/0, everything else (null, blob) "NULL". Texts are not cut to any length.
QString VariantToText(const QVariant& value);

// VariantToText, except that a null value reads as empty text (node rows).
QString TextOrEmpty(const QVariant& value);

// The date-time a catalogue text holds ("2024-01-05 7:04:09", "2024-01-05", with or
// without leading zeros); an invalid QDateTime when the text is none.
QDateTime CatalogueTime(const QString& text);

// A text value ready to sit between single quotes: every ' doubled.
QString SqlText(const QString& text);

}  // namespace korvel
