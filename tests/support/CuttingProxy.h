#pragma once
#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

/// A TCP relay on 127.0.0.1 between the program and a database server that
/// can break every connection at an exact point of the conversation: when the
/// program sends given bytes (they never reach the server), or when the server
/// answers with given bytes (the server did the work; the program never hears
/// of it). Stopped, it refuses connections as a dead server's host does.
class CuttingProxy {
public:
    enum class Side { Program, Server };

    /// Relays to the server at 127.0.0.1:`serverPort`.
    explicit CuttingProxy(int serverPort);
    ~CuttingProxy();
    CuttingProxy(const CuttingProxy &) = delete;
    CuttingProxy &operator=(const CuttingProxy &) = delete;

    int port() const { return m_port; }
    /// The next time `side` sends `bytes`, every connection is dropped with
    /// nothing of that chunk passed on.
    void cutWhen(Side side, const QByteArray &bytes);
    /// Whether the cut asked for has happened.
    bool hasCut() const { return m_cut; }
    /// Drops every connection and stops listening.
    void stop();

    /// The port of a libpq connection text ("... port=N ...").
    static int portOf(const QString &connectionText);

private:
    struct Pair;
    void relay();
    /// Passes what one side of a pair sent on; false when pairs were dropped.
    bool pass(size_t index, int from, std::vector<char> &buffer);
    void dropAll();

    int m_serverPort;
    int m_listener = -1;
    int m_port = 0;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_stopping{false}, m_cut{false};
    std::mutex m_mutex; // the trigger
    Side m_side = Side::Server;
    QByteArray m_trigger;
    std::vector<std::unique_ptr<Pair>> m_pairs; // the relay thread's own
    std::thread m_thread;
};
