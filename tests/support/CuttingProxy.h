#pragma once
#include <QByteArray>
#include <QString>

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

/// A TCP relay on 127.0.0.1 between the program and a database server that
/// can break every connection at an exact point of the conversation: when the
/// program sends given bytes (they never reach the server), or when the server
/// answers with given bytes (the server did the work; the program never hears
/// of it). Stopped, it refuses connections as a dead server's host does.
/// A server that speaks only TLS is relayed through TLS on both sides, the
/// relay showing the program the server's own certificate, so the
/// conversation it watches is the plain one.
class CuttingProxy {
public:
    enum class Side { Program, Server };

    /// Relays to the server at 127.0.0.1:`serverPort`. With a connection text
    /// naming the throwaway server's root certificate (DIR/tls/root.crt), it
    /// shows the certificate and key of DIR/data.
    explicit CuttingProxy(int serverPort, const QString &connectionText = QString());
    ~CuttingProxy();
    CuttingProxy(const CuttingProxy &) = delete;
    CuttingProxy &operator=(const CuttingProxy &) = delete;

    int port() const { return m_port; }
    /// The next time `side` sends `bytes`, every connection is dropped with
    /// nothing of that chunk passed on.
    void cutWhen(Side side, const QByteArray &bytes);
    /// The next time `side` sends `bytes`, that connection goes silent: nothing
    /// more passes either way, and it stays open, as a hung server's does.
    void holdWhen(Side side, const QByteArray &bytes);
    /// Whether the cut or hold asked for has happened.
    bool hasCut() const { return m_cut; }
    /// While refusing, each connection is closed as soon as it is taken, as a
    /// host that is up while its database server is not (yet).
    void refuse(bool refusing) { m_refusing = refusing; }
    /// Drops every connection and stops listening.
    void stop();

    /// The port of a libpq connection text ("... port=N ...").
    static int portOf(const QString &connectionText);

    struct Tls;
    struct Pair;

private:
    void accept();
    void relay(Pair &pair);
    /// What one side said, before it is passed on: false when it made the cut.
    bool watch(Pair &pair, int from, const char *data, int size);
    void dropAll();

    int m_serverPort;
    int m_listener = -1;
    int m_port = 0;
    int m_wake[2] = {-1, -1};
    std::unique_ptr<Tls> m_tls;
    std::atomic<bool> m_stopping{false}, m_cut{false}, m_refusing{false};
    std::mutex m_mutex; // the trigger and the pairs
    Side m_side = Side::Server;
    bool m_hold = false;
    QByteArray m_trigger;
    std::list<std::unique_ptr<Pair>> m_pairs;
    std::thread m_thread;
};
