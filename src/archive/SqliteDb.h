#pragma once
// One SQLite connection and its prepared statements, each closed by its destructor. Errors are
// returned, never thrown: the archive is a help to the crawl, never a reason to stop it.

#include <QByteArray>
#include <QString>
#include <cstdint>

struct sqlite3;
struct sqlite3_stmt;

class SqliteDb {
public:
    class Statement {
    public:
        Statement() = default;
        ~Statement();
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;
        Statement(Statement&& other) noexcept;
        Statement& operator=(Statement&& other) noexcept;

        bool valid() const { return mStmt != nullptr; }
        // Parameters count from 1. A null QString binds NULL.
        Statement& bind(int index, const QString& text);
        Statement& bind(int index, std::int64_t number);
        Statement& bindBlob(int index, const QByteArray& bytes);
        // Steps once: true while a row is there to read.
        bool next();
        // Steps to the end: true when the statement completed.
        bool run();
        // Ready to run again, with new values bound: compiled once, run many times.
        void reset();
        QString text(int column) const;
        std::int64_t number(int column) const;
        QByteArray blob(int column) const;

    private:
        friend class SqliteDb;
        explicit Statement(sqlite3_stmt* stmt) : mStmt(stmt) {}
        sqlite3_stmt* mStmt = nullptr;
        bool mFailed = false;
    };

    SqliteDb() = default;
    ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;
    SqliteDb(SqliteDb&& other) noexcept;
    SqliteDb& operator=(SqliteDb&& other) noexcept;

    // writable: created when missing. Otherwise only an existing file is opened, and only
    // read from. A symbolic link is never followed: someone else may have placed it.
    bool open(const QString& path, bool writable, int busyTimeoutMs);
    // An existing file, strictly read-only: nothing of it is written, not even at the close, and
    // a lock held elsewhere is an answer at once rather than a wait.
    bool openReadOnly(const QString& path);
    bool isOpen() const { return mDb != nullptr; }
    void close();
    bool exec(const char* sql);
    // An invalid statement when the text does not compile or the database is closed.
    Statement prepare(const char* sql);
    // The latest error of this connection, for a warning.
    QString error() const;
    // True when the latest error was a lock held by another connection: it may pass.
    bool locked() const;

private:
    sqlite3* mDb = nullptr;
};
