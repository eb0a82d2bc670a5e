#include "app/DrevalonApplication.h"
#include "platform/ApplicationTitle.h"
#include "platform/ErrorFunnel.h"

#include <QFont>
#include <QIcon>
#include <QLocale>

namespace {
/// The program's icon in every size drawn for it (resources/make_icon).
QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/drevalon-%1.png").arg(size), QSize(size, size));
    return icon;
}
} // namespace

int &DrevalonApplication::beforeCreation(int &argc) {
    // The mini browser's web engine shares the OpenGL contexts of the
    // application, which can only be asked for before it is created.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return argc;
}

DrevalonApplication::DrevalonApplication(int &argc, char **argv) : QApplication(beforeCreation(argc), argv) {
    // Only closing the main form ends the program, never the last visible window.
    setQuitOnLastWindowClosed(false);
    setApplicationName(applicationTitle());
    // Every window, dialogs and message boxes too, carries the program's icon;
    // the desktop matches the windows to the entry drevalon.desktop.
    Q_INIT_RESOURCE(resources);
    setWindowIcon(programIcon());
    setDesktopFileName(QStringLiteral("drevalon"));
    // A Russian shop: dates as day.month.year and the decimal comma, whatever
    // the machine's own language.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QFont font = QApplication::font();
    font.setPixelSize(11);
    setFont(font);
}

bool DrevalonApplication::notify(QObject *receiver, QEvent *event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        ErrorFunnel::report(error);
    }
    return false;
}
