#pragma once
#include <QString>

#include <cerrno>
#include <unistd.h>

/// One line to standard output, straight to the descriptor: nothing said may
/// still sit in a buffer when the process is killed, and nothing is said
/// before the step it names has returned. A line break inside becomes a blank.
/// Ends the process when nobody listens any more.
inline void sayLine(const QString &line) {
    const QByteArray bytes = (QString(line).replace(QLatin1Char('\n'), QLatin1Char(' ')) + QLatin1Char('\n')).toUtf8();
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            _exit(4);
        written += n;
    }
}
