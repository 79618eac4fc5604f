#include "archive/SqliteDb.h"

#include <sqlite3.h>

#include <QFile>
#include <utility>

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kStepsPerLook = 1000;  // virtual machine steps between two looks at the clock

int PastDeadline(void* limit) {
    return Clock::now() > static_cast<const SqliteDb::Limit*>(limit)->deadline ? 1 : 0;
}

}  // namespace

SqliteDb::Statement::~Statement() {
    if (mStmt) sqlite3_finalize(mStmt);
}

SqliteDb::Statement::Statement(Statement&& other) noexcept
    : mStmt(std::exchange(other.mStmt, nullptr)),
      mFailed(other.mFailed),
      mLimit(other.mLimit),
      mDeadline(other.mDeadline) {}

SqliteDb::Statement& SqliteDb::Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        if (mStmt) sqlite3_finalize(mStmt);
        mStmt = std::exchange(other.mStmt, nullptr);
        mFailed = other.mFailed;
        mLimit = other.mLimit;
        mDeadline = other.mDeadline;
    }
    return *this;
}

SqliteDb::Statement& SqliteDb::Statement::bind(int index, const QString& text) {
    if (!mStmt) return *this;
    int rc;
    if (text.isNull()) {
        rc = sqlite3_bind_null(mStmt, index);
    } else {
        const QByteArray utf8 = text.toUtf8();
        rc = sqlite3_bind_text(mStmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    mFailed = mFailed || rc != SQLITE_OK;
    return *this;
}

SqliteDb::Statement& SqliteDb::Statement::bind(int index, std::int64_t number) {
    if (mStmt) mFailed = mFailed || sqlite3_bind_int64(mStmt, index, number) != SQLITE_OK;
    return *this;
}

SqliteDb::Statement& SqliteDb::Statement::bindBlob(int index, const QByteArray& bytes) {
    if (mStmt)
        mFailed = mFailed ||
                  sqlite3_bind_blob64(mStmt, index, bytes.constData(), sqlite3_uint64(bytes.size()),
                                      SQLITE_TRANSIENT) != SQLITE_OK;
    return *this;
}

// The time a statement may take counts from its first step: rows read one by one are no way
// around it.
int SqliteDb::Statement::step() {
    if (mLimit) {
        if (!sqlite3_stmt_busy(mStmt)) mDeadline = Clock::now() + mLimit->most;
        mLimit->deadline = mDeadline;
    }
    return sqlite3_step(mStmt);
}

bool SqliteDb::Statement::next() {
    return mStmt && !mFailed && step() == SQLITE_ROW;
}

bool SqliteDb::Statement::run() {
    if (!mStmt || mFailed) return false;
    int rc;
    while ((rc = step()) == SQLITE_ROW) {
    }
    return rc == SQLITE_DONE;
}

void SqliteDb::Statement::reset() {
    if (!mStmt) return;
    sqlite3_reset(mStmt);
    sqlite3_clear_bindings(mStmt);
    mFailed = false;
}

QString SqliteDb::Statement::text(int column) const {
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(mStmt, column));
    if (!data) return QString();
    return QString::fromUtf8(data, sqlite3_column_bytes(mStmt, column));
}

QByteArray SqliteDb::Statement::blob(int column) const {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(mStmt, column));
    return QByteArray(data ? data : "", data ? sqlite3_column_bytes(mStmt, column) : 0);
}

std::int64_t SqliteDb::Statement::number(int column) const {
    return sqlite3_column_int64(mStmt, column);
}

SqliteDb::~SqliteDb() {
    close();
}

SqliteDb::SqliteDb(SqliteDb&& other) noexcept
    : mDb(std::exchange(other.mDb, nullptr)), mLimit(std::move(other.mLimit)) {}

SqliteDb& SqliteDb::operator=(SqliteDb&& other) noexcept {
    if (this != &other) {
        close();
        mDb = std::exchange(other.mDb, nullptr);
        mLimit = std::move(other.mLimit);
    }
    return *this;
}

bool SqliteDb::open(const QString& path, bool writable, int busyTimeoutMs) {
    close();
    if (!writable && !QFile::exists(path)) return false;
    const QByteArray name = QFile::encodeName(path);
    // An existing file is still opened for writing when it can be: only a writer may tidy the
    // WAL files away when it closes. Nothing is written through it.
    const int modes[] = {SQLITE_OPEN_READWRITE | (writable ? SQLITE_OPEN_CREATE : 0),
                         writable ? 0 : SQLITE_OPEN_READONLY};
    for (const int mode : modes) {
        if (mode == 0) break;
        if (sqlite3_open_v2(name.constData(), &mDb,
                            mode | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW,
                            nullptr) == SQLITE_OK &&
            harden()) {
            sqlite3_busy_timeout(mDb, busyTimeoutMs);
            limitStatements(kWriterMost);
            return true;
        }
        close();  // a failed open still hands out a handle to free
    }
    return false;
}

bool SqliteDb::openReadOnly(const QString& path) {
    close();
    if (!QFile::exists(path)) return false;
    const int mode = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &mDb, mode, nullptr) == SQLITE_OK &&
        harden()) {
        limitStatements(kReaderMost);
        return true;
    }
    close();
    return false;
}

// Before anything of the file is read: a connection that cannot be held to these is not used.
bool SqliteDb::harden() {
    const auto set = [this](int option, int value) {
        int now = -1;
        return sqlite3_db_config(mDb, option, value, &now) == SQLITE_OK && now == value;
    };
    if (!set(SQLITE_DBCONFIG_DEFENSIVE, 1) || !set(SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0) ||
        !set(SQLITE_DBCONFIG_ENABLE_VIEW, 0) || !set(SQLITE_DBCONFIG_ENABLE_TRIGGER, 0))
        return false;
    sqlite3_limit(mDb, SQLITE_LIMIT_LENGTH, kLongestValue);
    mLimit = std::make_unique<Limit>(Limit{kWriterMost});
    sqlite3_progress_handler(mDb, kStepsPerLook, &PastDeadline, mLimit.get());
    return true;
}

void SqliteDb::limitStatements(std::chrono::milliseconds most) {
    if (mLimit) mLimit->most = most;
}

void SqliteDb::close() {
    if (mDb) sqlite3_close_v2(std::exchange(mDb, nullptr));
}

bool SqliteDb::exec(const char* sql) {
    if (!mDb) return false;
    mLimit->deadline = Clock::now() + mLimit->most;
    return sqlite3_exec(mDb, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

SqliteDb::Statement SqliteDb::prepare(const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    if (!mDb) return Statement();
    // compiling reads the schema: bounded as well
    mLimit->deadline = Clock::now() + mLimit->most;
    if (sqlite3_prepare_v2(mDb, sql, -1, &stmt, nullptr) != SQLITE_OK) return Statement();
    return Statement(stmt, mLimit.get());
}

QString SqliteDb::error() const {
    return mDb ? QString::fromUtf8(sqlite3_errmsg(mDb)) : QStringLiteral("cannot open");
}

bool SqliteDb::locked() const {
    const int code = mDb ? sqlite3_errcode(mDb) : SQLITE_OK;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}
