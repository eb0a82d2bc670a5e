#pragma once
// What the embedded store was asked while a trace lives: the rows each
// statement returned and whether any came on the thread that made the trace,
// over every connection the process opens meanwhile (the store's hook for new
// connections), readers on other threads too.
#include <QHash>
#include <QMutex>
#include <QString>
#include <sqlite3.h>
#include <thread>

class StatementTrace {
public:
    struct Reading {
        int rows = 0;
        bool onOwnThread = false;
    };
    StatementTrace() {
        const QMutexLocker lock(&mutex());
        current() = this;
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(&follow));
    }
    ~StatementTrace() {
        sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&follow));
        const QMutexLocker lock(&mutex());
        current() = nullptr;
    }
    /// Statement text -> what it returned.
    QHash<QString, Reading> readings() const {
        const QMutexLocker lock(&mutex());
        return m_readings;
    }

private:
    static QMutex &mutex() {
        static QMutex m;
        return m;
    }
    static StatementTrace *&current() {
        static StatementTrace *trace = nullptr;
        return trace;
    }
    static int follow(sqlite3 *db, const char **, const void *) {
        return sqlite3_trace_v2(db, SQLITE_TRACE_ROW, &row, nullptr);
    }
    // Connections outlive the trace: rows after it ended are not counted.
    static int row(unsigned, void *, void *statement, void *) {
        const QMutexLocker lock(&mutex());
        if (StatementTrace *trace = current()) {
            Reading &reading =
                trace->m_readings[QString::fromUtf8(sqlite3_sql(static_cast<sqlite3_stmt *>(statement)))];
            ++reading.rows;
            reading.onOwnThread = reading.onOwnThread || std::this_thread::get_id() == trace->m_thread;
        }
        return 0;
    }

    const std::thread::id m_thread = std::this_thread::get_id();
    QHash<QString, Reading> m_readings;
};
