#pragma once
// One SQLite connection and its prepared statements, each closed by its destructor. Errors are
// returned, never thrown: the archive is a help to the crawl, never a reason to stop it.
//
// The file may come from anyone (a download folder copied from elsewhere): it is opened
// defensively. Nothing in its schema runs (no views, no triggers, only innocuous functions),
// its schema cannot be written around SQLite, a value is at most kLongestValue bytes, and a
// statement that runs longer than its connection allows is interrupted, as an error.

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

class SqliteDb {
public:
    // The statement under way on a connection ends by its deadline.
    struct Limit {
        std::chrono::milliseconds most;
        std::chrono::steady_clock::time_point deadline =
            std::chrono::steady_clock::time_point::max();
    };
    // The longest text or blob read or written; the longest bodies kept are 16 MB.
    static constexpr int kLongestValue = 64 << 20;
    // How long one statement may run, from its first step to its last, by default.
    static constexpr std::chrono::milliseconds kWriterMost{10000};
    static constexpr std::chrono::milliseconds kReaderMost{2000};

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
        Statement(sqlite3_stmt* stmt, Limit* limit) : mStmt(stmt), mLimit(limit) {}
        int step();
        sqlite3_stmt* mStmt = nullptr;
        bool mFailed = false;
        Limit* mLimit = nullptr;
        std::chrono::steady_clock::time_point mDeadline{};
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
    // How long each statement may run from now on (opened: kWriterMost, or kReaderMost read-only).
    void limitStatements(std::chrono::milliseconds most);
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
    bool harden();

    sqlite3* mDb = nullptr;
    std::unique_ptr<Limit> mLimit;  // where the connection's progress handler looks
};
