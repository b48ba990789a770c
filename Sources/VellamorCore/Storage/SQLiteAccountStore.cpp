#include "Storage/SQLiteAccountStore.h"

#include "Storage/SQLiteAccountStoreError.h"
#include "Storage/StorageFiles.h"
#include "Support/AppPaths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <utility>

namespace vellamor {

namespace {

// Two connections to one file can meet (a store is made per account switch):
// a writer waits this long for the other's lock instead of failing at once.
constexpr int busyTimeoutMs = 2000;

const QString& rowColumns()
{
    static const QString columns = QStringLiteral("id, created_at, updated_at, deleted_at, synced, server_id, payload");
    return columns;
}

const QString& schemaScript()
{
    static const QString script = QStringLiteral("CREATE TABLE IF NOT EXISTS history (\n"
                                                 "    id TEXT PRIMARY KEY,\n"
                                                 "    created_at REAL NOT NULL,\n"
                                                 "    synced INTEGER NOT NULL DEFAULT 0,\n"
                                                 "    server_id INTEGER,\n"
                                                 "    payload BLOB NOT NULL\n"
                                                 ");\n"
                                                 "CREATE INDEX IF NOT EXISTS idx_history_created_at ON "
                                                 "history(created_at DESC);\n"
                                                 "CREATE INDEX IF NOT EXISTS idx_history_synced ON history(synced);");
    return script;
}

const QString& upsertStatement()
{
    static const QString statement
        = QStringLiteral("INSERT INTO history (id, created_at, updated_at, deleted_at, synced, server_id, payload)\n"
                         "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)\n"
                         "ON CONFLICT(id) DO UPDATE SET\n"
                         "    created_at = excluded.created_at,\n"
                         "    updated_at = excluded.updated_at,\n"
                         "    deleted_at = excluded.deleted_at,\n"
                         "    synced = excluded.synced,\n"
                         "    server_id = excluded.server_id,\n"
                         "    payload = excluded.payload;");
    return statement;
}

const QString& pullCursorName()
{
    static const QString name = QStringLiteral("history_pull_cursor");
    return name;
}

QString messageOf(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// Runs a script; the error text, when there is one, is handed out and freed.
bool execute(sqlite3* db, const QString& script, QString* message = nullptr)
{
    char* error = nullptr;
    const int result = sqlite3_exec(db, script.toUtf8().constData(), nullptr, nullptr, &error);
    if (message && error)
        *message = QString::fromUtf8(error);
    sqlite3_free(error);
    return result == SQLITE_OK;
}

// One prepared statement, finalised when it goes out of scope. Binds copy
// their values (SQLite's transient destructor), so nothing bound needs to
// outlive the call.
class Statement {
public:
    Statement(sqlite3* db, const QString& sql) : db_(db)
    {
        if (!db)
            throw SQLiteAccountStoreError::prepareFailed(QStringLiteral("no db"));
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement_, nullptr) != SQLITE_OK) {
            const QString message = messageOf(db);
            sqlite3_finalize(statement_);
            throw SQLiteAccountStoreError::prepareFailed(message);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(statement_); }

    Statement& bind(int index, const QString& text)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(statement_, index, utf8.constData(), static_cast<int>(utf8.size()), transient());
        return *this;
    }
    Statement& bind(int index, Date date)
    {
        sqlite3_bind_double(statement_, index, date.secondsSince1970());
        return *this;
    }
    Statement& bind(int index, qint64 value)
    {
        sqlite3_bind_int64(statement_, index, value);
        return *this;
    }
    // A zero-length blob stays a blob: constData() of an empty array is never null.
    Statement& bind(int index, const QByteArray& bytes)
    {
        sqlite3_bind_blob(statement_, index, bytes.constData(), static_cast<int>(bytes.size()), transient());
        return *this;
    }
    template<typename T>
    Statement& bind(int index, const std::optional<T>& value)
    {
        if (value)
            return bind(index, *value);
        sqlite3_bind_null(statement_, index);
        return *this;
    }

    int step() { return sqlite3_step(statement_); }

    // One step of a write; anything but a row or done is a failure.
    void run()
    {
        const int result = step();
        if (result != SQLITE_ROW && result != SQLITE_DONE)
            throw SQLiteAccountStoreError::stepFailed(messageOf(db_));
    }

    // One step that must give a row (an aggregate).
    void stepToRow()
    {
        if (step() != SQLITE_ROW)
            throw SQLiteAccountStoreError::stepFailed(messageOf(db_));
    }

    bool isNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
    qint64 int64(int column) const { return sqlite3_column_int64(statement_, column); }
    Date date(int column) const { return Date(sqlite3_column_double(statement_, column)); }
    std::optional<Date> optionalDate(int column) const
    {
        return isNull(column) ? std::nullopt : std::optional<Date>(date(column));
    }
    std::optional<qint64> optionalInt64(int column) const
    {
        return isNull(column) ? std::nullopt : std::optional<qint64>(int64(column));
    }
    QString text(int column) const
    {
        const auto* bytes = sqlite3_column_text(statement_, column);
        return QString::fromUtf8(reinterpret_cast<const char*>(bytes), sqlite3_column_bytes(statement_, column));
    }
    QByteArray blob(int column) const
    {
        const void* bytes = sqlite3_column_blob(statement_, column);
        const int size = sqlite3_column_bytes(statement_, column);
        if (!bytes || size == 0)
            return {};
        return QByteArray(static_cast<const char*>(bytes), size);
    }

    // The row in the column order of rowColumns(), with the given id.
    SQLiteAccountStore::RawRow row(QString id) const
    {
        const Date createdAt = date(1);
        return SQLiteAccountStore::RawRow(std::move(id), createdAt, optionalDate(2), optionalDate(3), int64(4) != 0,
                                          optionalInt64(5), blob(6));
    }

private:
    static sqlite3_destructor_type transient()
    {
        return reinterpret_cast<sqlite3_destructor_type>(static_cast<std::intptr_t>(-1));
    }

    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

} // namespace

SQLiteAccountStore::RawRow::RawRow(QString id, Date createdAt, std::optional<Date> updatedAt,
                                   std::optional<Date> deletedAt, bool synced, std::optional<qint64> serverId,
                                   QByteArray payload)
    : id(std::move(id))
    , createdAt(createdAt)
    , updatedAt(updatedAt.value_or(createdAt))
    , deletedAt(deletedAt)
    , synced(synced)
    , serverId(serverId)
    , payload(std::move(payload))
{
}

void SQLiteAccountStore::Closer::operator()(sqlite3* db) const
{
    sqlite3_close_v2(db);
}

SQLiteAccountStore::SQLiteAccountStore(QString account, std::optional<QString> baseDirectory)
    : account_(std::move(account))
{
    const QString accounts = baseDirectory.value_or(defaultBaseDirectory()) + QStringLiteral("/accounts");
    storage_files::createFolder(accounts);
    dbURL_ = accounts + QLatin1Char('/') + account_ + QStringLiteral(".db");

    // Checked before SQLite opens the file: it deletes a WAL file beside a
    // header it cannot read.
    if (hasForeignHeader())
        setDamagedFileAside();
    openFile();
    if (isDamaged()) {
        db_.reset();
        setDamagedFileAside();
        openFile();
    }

    sqlite3_busy_timeout(db_.get(), busyTimeoutMs);
    // Without them the store still works, in SQLite's default journal mode.
    execute(db_.get(), QStringLiteral("PRAGMA journal_mode=WAL;"));
    execute(db_.get(), QStringLiteral("PRAGMA synchronous=NORMAL;"));
    applySchema();
    migrate();
}

SQLiteAccountStore::~SQLiteAccountStore() = default;

void SQLiteAccountStore::openFile()
{
    sqlite3* handle = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    const int opened = sqlite3_open_v2(QFile::encodeName(dbURL_).constData(), &handle, flags, nullptr);
    db_.reset(handle); // SQLite hands out a handle even when the open fails; it must be closed too
    if (opened != SQLITE_OK)
        throw SQLiteAccountStoreError::openFailed(messageOf(handle));
}

bool SQLiteAccountStore::hasForeignHeader() const
{
    QFile file(dbURL_);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return false;
    static const QByteArray magic("SQLite format 3\0", 16);
    return file.read(magic.size()) != magic;
}

bool SQLiteAccountStore::isDamaged()
{
    // Opening reads nothing; the first read of the schema meets a bad header.
    sqlite3_stmt* statement = nullptr;
    int result = sqlite3_prepare_v2(db_.get(), "SELECT count(*) FROM sqlite_schema", -1, &statement, nullptr);
    if (result == SQLITE_OK)
        result = sqlite3_step(statement);
    sqlite3_finalize(statement);
    return result == SQLITE_NOTADB || result == SQLITE_CORRUPT;
}

void SQLiteAccountStore::setDamagedFileAside()
{
    const QString aside = dbURL_ + QStringLiteral(".damaged-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        const QString path = dbURL_ + suffix;
        if (QFile::exists(path) && !QFile::rename(path, aside + suffix))
            throw SQLiteAccountStoreError::openFailed(QStringLiteral("damaged file could not be moved aside: ") + path);
    }
    setAsidePath_ = aside;
}

QString SQLiteAccountStore::defaultBaseDirectory()
{
    if (const auto support = AppPaths::applicationSupportDirectory())
        return *support;
    return QDir::tempPath() + QStringLiteral("/vellamor");
}

void SQLiteAccountStore::applySchema()
{
    QString message;
    if (!execute(db_.get(), schemaScript(), &message))
        throw SQLiteAccountStoreError::schemaFailed(message);
}

void SQLiteAccountStore::migrate()
{
    if (!hasColumn(QStringLiteral("history"), QStringLiteral("updated_at"))) {
        Statement(db_.get(), QStringLiteral("ALTER TABLE history ADD COLUMN updated_at REAL")).run();
        Statement(db_.get(), QStringLiteral("UPDATE history SET updated_at = created_at WHERE updated_at IS NULL"))
            .run();
    }
    if (!hasColumn(QStringLiteral("history"), QStringLiteral("deleted_at")))
        Statement(db_.get(), QStringLiteral("ALTER TABLE history ADD COLUMN deleted_at REAL")).run();
    // Only speed depends on these. The last one serves the live rows' filter
    // and their order together: without statistics (nothing runs ANALYZE)
    // SQLite would otherwise pick deleted_at alone and sort every live row.
    execute(db_.get(),
            QStringLiteral("CREATE INDEX IF NOT EXISTS idx_history_updated_at ON history(updated_at);\n"
                           "CREATE INDEX IF NOT EXISTS idx_history_deleted_at ON history(deleted_at);\n"
                           "CREATE INDEX IF NOT EXISTS idx_history_live_created_at ON "
                           "history(deleted_at, created_at DESC);"));
    // Additive, so that earlier versions still open the file. Without it the
    // cursor reads fail and every pull starts from the beginning.
    execute(db_.get(), QStringLiteral("CREATE TABLE IF NOT EXISTS sync_state (\n"
                                      "    name TEXT PRIMARY KEY,\n"
                                      "    value INTEGER NOT NULL\n"
                                      ");"));
}

bool SQLiteAccountStore::hasColumn(const QString& table, const QString& column)
{
    try {
        Statement statement(db_.get(), QStringLiteral("PRAGMA table_info(") + table + QLatin1Char(')'));
        while (statement.step() == SQLITE_ROW) {
            if (statement.text(1) == column)
                return true;
        }
    } catch (const SQLiteAccountStoreError&) {
        // Counted as absent: adding the column then reports what is wrong.
    }
    return false;
}

void SQLiteAccountStore::close()
{
    db_.reset();
}

void SQLiteAccountStore::upsert(const RawRow& row)
{
    Statement(db_.get(), upsertStatement())
        .bind(1, row.id)
        .bind(2, row.createdAt)
        .bind(3, row.updatedAt)
        .bind(4, row.deletedAt)
        .bind(5, qint64 {row.synced ? 1 : 0})
        .bind(6, row.serverId)
        .bind(7, row.payload)
        .run();
}

QList<SQLiteAccountStore::RawRow> SQLiteAccountStore::query(const QString& sql)
{
    Statement statement(db_.get(), sql);
    QList<RawRow> rows;
    // A failure part-way ends the list without an error: the rows read so far are kept.
    while (statement.step() == SQLITE_ROW)
        rows.append(statement.row(statement.text(0)));
    return rows;
}

QList<SQLiteAccountStore::RawRow> SQLiteAccountStore::all()
{
    return query(QStringLiteral("SELECT ") + rowColumns()
                 + QStringLiteral(" FROM history WHERE deleted_at IS NULL ORDER BY created_at DESC"));
}

QList<SQLiteAccountStore::RawRow> SQLiteAccountStore::list(qint64 limit, qint64 offset)
{
    return query(QStringLiteral("SELECT ") + rowColumns()
                 + QStringLiteral(" FROM history WHERE deleted_at IS NULL ORDER BY created_at DESC LIMIT ")
                 + QString::number(std::max<qint64>(limit, 0)) + QStringLiteral(" OFFSET ")
                 + QString::number(std::max<qint64>(offset, 0)));
}

QList<SQLiteAccountStore::RawRow> SQLiteAccountStore::unsynced()
{
    return query(QStringLiteral("SELECT ") + rowColumns()
                 + QStringLiteral(" FROM history WHERE synced = 0 AND deleted_at IS NULL ORDER BY created_at ASC"));
}

QList<SQLiteAccountStore::RawRow> SQLiteAccountStore::pendingDeletes()
{
    return query(QStringLiteral("SELECT ") + rowColumns()
                 + QStringLiteral(" FROM history WHERE synced = 1 AND deleted_at IS NOT NULL ORDER BY deleted_at ASC"));
}

qint64 SQLiteAccountStore::count()
{
    Statement statement(db_.get(), QStringLiteral("SELECT COUNT(*) FROM history WHERE deleted_at IS NULL"));
    statement.stepToRow();
    return statement.int64(0);
}

void SQLiteAccountStore::evictOldest(qint64 keepLatest)
{
    const qint64 live = count();
    if (live <= keepLatest)
        return;
    Statement(db_.get(),
              QStringLiteral("DELETE FROM history WHERE id IN (\n"
                             "    SELECT id FROM history WHERE deleted_at IS NULL ORDER BY created_at ASC LIMIT ")
                  + QString::number(live - keepLatest) + QStringLiteral("\n);"))
        .run();
}

void SQLiteAccountStore::deleteRow(const QString& id)
{
    Statement(db_.get(), QStringLiteral("DELETE FROM history WHERE id = ?1")).bind(1, id).run();
}

void SQLiteAccountStore::clear()
{
    Statement(db_.get(), QStringLiteral("DELETE FROM history")).run();
}

void SQLiteAccountStore::markSynced(const QString& id, std::optional<qint64> serverId)
{
    Statement(db_.get(), QStringLiteral("UPDATE history SET synced = 1, server_id = ?1 WHERE id = ?2"))
        .bind(1, serverId)
        .bind(2, id)
        .run();
}

void SQLiteAccountStore::markSyncedWithUpdatedAt(const QString& id, std::optional<qint64> serverId, Date updatedAt)
{
    Statement(db_.get(),
              QStringLiteral("UPDATE history SET synced = 1, server_id = ?1, updated_at = ?2 WHERE id = ?3"))
        .bind(1, serverId)
        .bind(2, updatedAt)
        .bind(3, id)
        .run();
}

std::optional<SQLiteAccountStore::RawRow> SQLiteAccountStore::find(const QString& id)
{
    Statement statement(db_.get(),
                        QStringLiteral("SELECT ") + rowColumns() + QStringLiteral(" FROM history WHERE id = ?1 LIMIT 1"));
    statement.bind(1, id);
    if (statement.step() != SQLITE_ROW)
        return std::nullopt;
    return statement.row(id);
}

void SQLiteAccountStore::softDelete(const QString& id, Date deletedAt)
{
    Statement(db_.get(), QStringLiteral("UPDATE history SET deleted_at = ?1, updated_at = ?1 WHERE id = ?2"))
        .bind(1, deletedAt)
        .bind(2, id)
        .run();
}

void SQLiteAccountStore::deleteByServerID(qint64 serverId)
{
    Statement(db_.get(), QStringLiteral("DELETE FROM history WHERE server_id = ?1")).bind(1, serverId).run();
}

std::optional<Date> SQLiteAccountStore::latestUpdatedAt()
{
    Statement statement(db_.get(), QStringLiteral("SELECT MAX(updated_at) FROM history"));
    statement.stepToRow();
    return statement.optionalDate(0);
}

std::optional<qint64> SQLiteAccountStore::findServerID(const QString& clientID)
{
    Statement statement(db_.get(), QStringLiteral("SELECT server_id FROM history WHERE id = ?1"));
    statement.bind(1, clientID);
    if (statement.step() != SQLITE_ROW)
        return std::nullopt;
    return statement.optionalInt64(0);
}

std::optional<qint64> SQLiteAccountStore::pullCursor()
{
    Statement statement(db_.get(), QStringLiteral("SELECT value FROM sync_state WHERE name = ?1"));
    statement.bind(1, pullCursorName());
    const int result = statement.step();
    if (result == SQLITE_DONE)
        return std::nullopt;
    if (result != SQLITE_ROW)
        throw SQLiteAccountStoreError::stepFailed(messageOf(db_.get()));
    return statement.int64(0);
}

void SQLiteAccountStore::setPullCursor(qint64 micros)
{
    Statement(db_.get(), QStringLiteral("INSERT INTO sync_state (name, value) VALUES (?1, ?2)\n"
                                        "ON CONFLICT(name) DO UPDATE SET value = excluded.value;"))
        .bind(1, pullCursorName())
        .bind(2, micros)
        .run();
}

} // namespace vellamor
