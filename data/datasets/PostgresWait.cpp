#include "data/datasets/PostgresWait.h"
#include "data/datasets/StoreLog.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <thread>

namespace {
thread_local quint64 t_warnings = 0;
thread_local const PGconn *t_gaveUp = nullptr;
thread_local QList<PostgresWait::Abandoned> t_abandoned;

void receive(void *, const PGresult *result) {
    const char *severity = PQresultErrorField(result, PG_DIAG_SEVERITY_NONLOCALIZED);
    if (severity && qstrcmp(severity, "WARNING") == 0)
        ++t_warnings;
    qCDebug(storeLog).noquote() << "server says:" << QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
}

// The request goes to the server's address on a connection of its own; a
// host that hangs may take it and never answer, so a thread waits for it alone.
void cancelAside(PGconn *conn) {
    PGcancel *cancel = PQgetCancel(conn);
    if (!cancel)
        return;
    std::thread([cancel] {
        char error[256];
        PQcancel(cancel, error, int(sizeof error));
        PQfreeCancel(cancel);
    }).detach();
}

PostgresWait::Result wrap(PGresult *result) { return PostgresWait::Result(result, PQclear); }
} // namespace

void PostgresWait::watchWarnings(PGconn *conn) { PQsetNoticeReceiver(conn, receive, nullptr); }

quint64 PostgresWait::warnings() { return t_warnings; }

bool PostgresWait::gaveUp(const PGconn *conn) { return conn && conn == t_gaveUp; }

QList<PostgresWait::Abandoned> PostgresWait::takeAbandoned(const PGconn *conn) {
    QList<Abandoned> taken;
    const QByteArray host(PQhost(conn)), port(PQport(conn));
    for (qsizetype i = t_abandoned.size() - 1; i >= 0; --i)
        if (t_abandoned[i].host == host && t_abandoned[i].port == port)
            taken.append(t_abandoned.takeAt(i));
    return taken;
}

bool PostgresWait::await(PGconn *conn, int silence) {
    if (PQstatus(conn) != CONNECTION_OK)
        return true; // broken already: the results say so
    t_gaveUp = nullptr;
    bool cancelled = false;
    int wait = silence;
    while (PQisBusy(conn)) {
        pollfd watched{PQsocket(conn), POLLIN, 0};
        if (watched.fd < 0)
            return true;
        const int ready = ::poll(&watched, 1, wait);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return true;
        if (ready == 0 && !cancelled) {
            cancelled = true;
            cancelAside(conn);
            wait = cancelMs;
            continue;
        }
        if (ready == 0) {
            // What the server still sends is read as the end of the
            // connection: the command's outcome is the callers' to tell.
            t_gaveUp = conn;
            t_abandoned.append({QByteArray(PQhost(conn)), QByteArray(PQport(conn)), PQbackendPID(conn)});
            // Only the latest few matter: older ones have long ended.
            while (t_abandoned.size() > 8)
                t_abandoned.removeFirst();
            ::shutdown(PQsocket(conn), SHUT_RDWR);
            qCDebug(storeLog) << "the server did not answer; connection given up";
            return false;
        }
        if (!PQconsumeInput(conn))
            return true;
        wait = cancelled ? cancelMs : silence;
    }
    return true;
}

PostgresWait::Result PostgresWait::answer(PGconn *conn, int sent) {
    if (!sent)
        return wrap(nullptr);
    await(conn);
    Result kept = wrap(nullptr);
    bool keptFailure = false;
    while (PGresult *raw = PQgetResult(conn)) {
        Result part = wrap(raw);
        if (keptFailure)
            continue; // read on to the end, so the connection is free again
        const ExecStatusType status = PQresultStatus(raw);
        keptFailure = status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE;
        kept = std::move(part);
    }
    return kept;
}

PostgresWait::Result PostgresWait::exec(PGconn *conn, const char *sql) { return answer(conn, PQsendQuery(conn, sql)); }

PostgresWait::Result PostgresWait::execParams(PGconn *conn, const char *sql, int count, const char *const *values,
                                              const int *lengths, const int *formats) {
    return answer(conn, PQsendQueryParams(conn, sql, count, nullptr, values, lengths, formats, 0));
}
