#pragma once
// Driving a work-order run as a user does: the output options window answered
// from inside its own loop, and the PDF read back as text.
#include "platform/report/OutputOptionsWindow.h"
#include "platform/report/TRvProject.h"

#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace ReportKit {

/// Runs the project (or `run`, a command that runs it) and, once the output
/// options window's loop runs, `inside` with it. A window `inside` leaves open
/// is cancelled, so a fault never hangs the suite. Returns whether `inside` ran at all.
inline bool withOptions(TRvProject &project, const std::function<void(OutputOptionsWindow &)> &inside,
                        const std::function<void()> &run = {}) {
    bool ran = false;
    QTimer timer; // owned here: it can never fire after this call returns
    QObject::connect(&timer, &QTimer::timeout, [&] {
        OutputOptionsWindow *window = project.outputOptionsWindow();
        if (!window || !window->isVisible())
            return;
        timer.stop();
        ran = true;
        inside(*window);
        if (window->isVisible())
            window->reject();
    });
    timer.start(10);
    run ? run() : project.Execute();
    return ran;
}

inline void clickMark(QRadioButton *button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

/// Chooses a PDF file, the copies and, when `from` is given, a page range; then OK.
inline void toFile(OutputOptionsWindow &window, const QString &path, int copies = 1, int from = 0, int to = 0) {
    clickMark(window.fileButton());
    window.fileNameEdit()->selectAll();
    QTest::keyClicks(window.fileNameEdit(), path);
    window.copiesBox()->setValue(copies);
    if (from > 0) {
        clickMark(window.pageRangeButton());
        window.fromPageBox()->setValue(from);
        window.toPageBox()->setValue(to);
    }
    QTest::mouseClick(window.okButton(), Qt::LeftButton);
}

/// The text of a PDF, pages separated by form feeds, no-break spaces as blanks.
inline QString pdfText(const QString &path) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        qFatal("pdftotext failed on %s (package poppler-utils)", qPrintable(path));
    return QString::fromUtf8(process.readAllStandardOutput()).replace(QChar(0x00A0), QLatin1Char(' '));
}

/// A disk full past `bytes` for every file this process writes, while it lives:
/// a write beyond that fails (SIGXFSZ ignored) instead of killing us.
class FullDisk {
public:
    explicit FullDisk(rlim_t bytes) : m_signal(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &m_limit);
        const rlimit small{bytes, m_limit.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FullDisk() {
        setrlimit(RLIMIT_FSIZE, &m_limit);
        std::signal(SIGXFSZ, m_signal);
    }

private:
    rlimit m_limit{};
    void (*m_signal)(int);
};

/// Replaces a file's content; false when it cannot be written.
inline bool putFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

/// A file's content, empty when it cannot be read.
inline QByteArray fileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// The line of the text holding `label`.
inline QString lineWith(const QString &text, const QString &label) {
    for (const QString &line : text.split(QLatin1Char('\n')))
        if (line.contains(label))
            return line.simplified();
    return QString();
}
} // namespace ReportKit
