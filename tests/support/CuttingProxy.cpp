#include "tests/support/CuttingProxy.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// The first words of a PostgreSQL conversation that ask for encryption.
constexpr quint32 sslRequest = 80877103, gssRequest = 80877104;

bool sendAll(int fd, const char *data, ssize_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size_t(size), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

bool receiveAll(int fd, char *data, ssize_t size) {
    while (size > 0) {
        const ssize_t n = ::recv(fd, data, size_t(size), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

quint32 wordAt(const char *bytes) {
    quint32 word;
    std::memcpy(&word, bytes, 4);
    return ntohl(word);
}
} // namespace

struct CuttingProxy::Tls {
    SSL_CTX *asServer = nullptr, *asClient = nullptr;
    ~Tls() {
        SSL_CTX_free(asServer);
        SSL_CTX_free(asClient);
    }
};

struct CuttingProxy::Pair {
    int program = -1, server = -1;
    SSL *programTls = nullptr, *serverTls = nullptr;
    QByteArray tail[2]; // the last bytes each side sent, for a trigger split over two reads
    std::thread thread;
    std::atomic<bool> done{false};
    bool held = false; // silent from now on
    void cut() {
        ::shutdown(program, SHUT_RDWR);
        ::shutdown(server, SHUT_RDWR);
    }
    ~Pair() {
        cut();
        if (thread.joinable())
            thread.join();
        SSL_free(programTls);
        SSL_free(serverTls);
        ::close(program);
        ::close(server);
    }
    // Reads what `from` (0: the program, 1: the server) sent; 0 at its end.
    int read(int from, char *buffer, int size) {
        SSL *tls = from == 0 ? programTls : serverTls;
        if (tls)
            return SSL_read(tls, buffer, size);
        const ssize_t n = ::recv(from == 0 ? program : server, buffer, size_t(size), 0);
        return int(n);
    }
    bool write(int to, const char *data, int size) {
        SSL *tls = to == 0 ? programTls : serverTls;
        if (!tls)
            return sendAll(to == 0 ? program : server, data, size);
        return SSL_write(tls, data, size) == size;
    }
    bool pending(int from) const {
        SSL *tls = from == 0 ? programTls : serverTls;
        return tls && SSL_pending(tls) > 0;
    }
};

CuttingProxy::CuttingProxy(int serverPort, const QString &connectionText) : m_serverPort(serverPort) {
    static const QRegularExpression rootWord(QStringLiteral("(?:^|\\s)sslrootcert\\s*=\\s*(\\S+)"));
    const QString root = rootWord.match(connectionText).captured(1);
    if (!root.isEmpty()) {
        const QDir data(QFileInfo(root).absoluteDir().filePath(QStringLiteral("../data")));
        m_tls = std::make_unique<Tls>();
        m_tls->asServer = SSL_CTX_new(TLS_server_method());
        m_tls->asClient = SSL_CTX_new(TLS_client_method());
        if (!m_tls->asServer || !m_tls->asClient ||
            SSL_CTX_use_certificate_chain_file(m_tls->asServer,
                                               QFile::encodeName(data.filePath(QStringLiteral("server.crt")))) != 1 ||
            SSL_CTX_use_PrivateKey_file(m_tls->asServer, QFile::encodeName(data.filePath(QStringLiteral("server.key"))),
                                        SSL_FILETYPE_PEM) != 1)
            return; // port() stays 0: the test fails on it
    }
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0 ||
        ::pipe2(m_wake, O_CLOEXEC) != 0)
        return;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { accept(); });
}

CuttingProxy::~CuttingProxy() {
    stop();
    ::close(m_wake[0]);
    ::close(m_wake[1]);
}

void CuttingProxy::cutWhen(Side side, const QByteArray &bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_side = side;
    m_trigger = bytes;
    m_cut = false;
    m_hold = false;
}

void CuttingProxy::holdWhen(Side side, const QByteArray &bytes) {
    cutWhen(side, bytes);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hold = true;
}

void CuttingProxy::stop() {
    if (m_thread.joinable()) {
        m_stopping = true;
        const char wake = 1;
        (void)!::write(m_wake[1], &wake, 1);
        m_thread.join();
    }
    if (m_listener >= 0)
        ::close(m_listener);
    m_listener = -1;
    std::list<std::unique_ptr<Pair>> pairs;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pairs.swap(m_pairs);
    }
}

int CuttingProxy::portOf(const QString &connectionText) {
    static const QRegularExpression port(QStringLiteral("(?:^|\\s)port\\s*=\\s*(\\d+)"));
    const QRegularExpressionMatch match = port.match(connectionText);
    return match.hasMatch() ? match.captured(1).toInt() : 5432;
}

void CuttingProxy::dropAll() {
    for (const auto &pair : m_pairs)
        pair->cut();
}

bool CuttingProxy::watch(Pair &pair, int from, const char *data, int size) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const Side side = from == 0 ? Side::Program : Side::Server;
    const QByteArray seen = pair.tail[from] + QByteArray(data, size);
    if (!m_trigger.isEmpty() && side == m_side && seen.contains(m_trigger)) {
        m_trigger.clear();
        m_cut = true;
        if (m_hold) {
            pair.held = true;
            return true;
        }
        dropAll();
        return false;
    }
    pair.tail[from] = seen.right(std::max<qsizetype>(m_trigger.size(), 64));
    return true;
}

void CuttingProxy::accept() {
    while (!m_stopping) {
        pollfd watched[2] = {{m_wake[0], POLLIN, 0}, {m_listener, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0 && errno != EINTR)
            break;
        if (watched[0].revents)
            break;
        if (!(watched[1].revents & POLLIN))
            continue;
        auto pair = std::make_unique<Pair>();
        pair->program = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (m_refusing)
            continue; // the pair closes the program's end
        pair->server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in server = loopback(m_serverPort);
        if (pair->program < 0 || pair->server < 0 ||
            ::connect(pair->server, reinterpret_cast<const sockaddr *>(&server), sizeof server) != 0)
            continue;
        std::lock_guard<std::mutex> lock(m_mutex);
        // Pairs whose conversation is over go with the next one.
        m_pairs.remove_if([](const std::unique_ptr<Pair> &old) { return old->done.load(); });
        Pair &added = *pair;
        m_pairs.push_back(std::move(pair));
        added.thread = std::thread([this, &added] {
            relay(added);
            added.done = true;
        });
    }
}

void CuttingProxy::relay(Pair &pair) {
    // TLS writes to a peer already gone with plain write(): the signal that
    // brings stays pending on this thread, and the write fails as it should.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    char buffer[1 << 16];
    if (m_tls) {
        // The program asks for TLS (after GSS, which no one here has); the
        // relay answers as the server would, and asks the server in turn.
        char request[8];
        quint32 code = 0;
        do {
            if (!receiveAll(pair.program, request, 8))
                return;
            code = wordAt(request + 4);
            if (code == gssRequest && !sendAll(pair.program, "N", 1))
                return;
        } while (code == gssRequest);
        if (code == sslRequest) {
            char answer = 0;
            if (!sendAll(pair.program, "S", 1) || !sendAll(pair.server, request, 8) ||
                !receiveAll(pair.server, &answer, 1) || answer != 'S')
                return;
            pair.programTls = SSL_new(m_tls->asServer);
            pair.serverTls = SSL_new(m_tls->asClient);
            SSL_set_fd(pair.programTls, pair.program);
            SSL_set_fd(pair.serverTls, pair.server);
            if (SSL_accept(pair.programTls) != 1 || SSL_connect(pair.serverTls) != 1)
                return;
        } else if (!sendAll(pair.server, request, 8)) {
            return;
        }
    }
    while (!m_stopping) {
        pollfd watched[2] = {{pair.program, POLLIN, 0}, {pair.server, POLLIN, 0}};
        if (!pair.pending(0) && !pair.pending(1) && ::poll(watched, 2, -1) < 0 && errno != EINTR)
            return;
        for (int from = 0; from < 2; ++from) {
            if (!pair.pending(from) && !(watched[from].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const int n = pair.read(from, buffer, int(sizeof buffer));
            if (n <= 0 || !watch(pair, from, buffer, n))
                return;
            if (!pair.held && !pair.write(1 - from, buffer, n))
                return;
        }
    }
}
