#include "tests/support/CuttingProxy.h"

#include <QRegularExpression>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

struct CuttingProxy::Pair {
    int program = -1, server = -1;
    QByteArray tail[2]; // the last bytes each side sent, for a trigger split over two reads
    ~Pair() {
        ::close(program);
        ::close(server);
    }
};

namespace {
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

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}
} // namespace

CuttingProxy::CuttingProxy(int serverPort) : m_serverPort(serverPort) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0 ||
        ::pipe2(m_wake, O_CLOEXEC) != 0)
        return; // port() stays 0: the test fails on it
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { relay(); });
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
}

int CuttingProxy::portOf(const QString &connectionText) {
    static const QRegularExpression port(QStringLiteral("(?:^|\\s)port\\s*=\\s*(\\d+)"));
    const QRegularExpressionMatch match = port.match(connectionText);
    return match.hasMatch() ? match.captured(1).toInt() : 5432;
}

void CuttingProxy::dropAll() { m_pairs.clear(); }

bool CuttingProxy::pass(size_t index, int from, std::vector<char> &buffer) {
    Pair &pair = *m_pairs[index];
    const int source = from == 0 ? pair.program : pair.server;
    const int target = from == 0 ? pair.server : pair.program;
    const ssize_t n = ::recv(source, buffer.data(), buffer.size(), 0);
    if (n > 0) {
        std::lock_guard<std::mutex> lock(m_mutex);
        const Side side = from == 0 ? Side::Program : Side::Server;
        const QByteArray seen = pair.tail[from] + QByteArray(buffer.data(), n);
        if (!m_trigger.isEmpty() && side == m_side && seen.contains(m_trigger)) {
            m_trigger.clear();
            m_cut = true;
            dropAll();
            return false;
        }
        pair.tail[from] = seen.right(std::max<qsizetype>(m_trigger.size(), 64));
    }
    if (n <= 0 || !sendAll(target, buffer.data(), n)) {
        m_pairs.erase(m_pairs.begin() + std::ptrdiff_t(index));
        return false;
    }
    return true;
}

void CuttingProxy::relay() {
    std::vector<char> buffer(1 << 16);
    while (!m_stopping) {
        std::vector<pollfd> watched{{m_wake[0], POLLIN, 0}, {m_listener, POLLIN, 0}};
        for (const auto &pair : m_pairs) {
            watched.push_back({pair->program, POLLIN, 0});
            watched.push_back({pair->server, POLLIN, 0});
        }
        if (::poll(watched.data(), nfds_t(watched.size()), -1) < 0 && errno != EINTR)
            break;
        if (watched[0].revents)
            break;
        if (watched[1].revents & POLLIN) {
            auto pair = std::make_unique<Pair>();
            pair->program = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            pair->server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const sockaddr_in server = loopback(m_serverPort);
            if (pair->program >= 0 && pair->server >= 0 &&
                ::connect(pair->server, reinterpret_cast<const sockaddr *>(&server), sizeof server) == 0)
                m_pairs.push_back(std::move(pair));
        }
        // The pairs polled are the first ones, in order; a new one waits for
        // the next round. A pair dropped ends the round: the indexes moved.
        const size_t polled = (watched.size() - 2) / 2;
        bool dropped = false;
        for (size_t i = 0; i < polled && !dropped; ++i)
            for (int from = 0; from < 2 && !dropped; ++from)
                if (watched[2 + 2 * i + size_t(from)].revents & (POLLIN | POLLHUP | POLLERR))
                    dropped = !pass(i, from, buffer);
    }
    dropAll();
}
