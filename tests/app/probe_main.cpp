// The real start-up of the program with its boxes printed instead of shown, so
// a test can run it as a process: probe DATABASE ALIAS_DIR [close-main].
#include "app/Startup.h"
#include "platform/MessageBoxes.h"
#include "ui/main/Unit2.h"
#include "ui/splash/Unit1.h"

#include <QTimer>
#include <cstdio>
#include <cstring>

namespace {
class PrintingMessages : public MessageService {
    void print(const char *kind, const QString &caption, const QString &text) {
        QString line = text;
        line.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        std::printf("BOX\t%s\t%s\t%s\n", kind, caption.toUtf8().constData(), line.toUtf8().constData());
        std::fflush(stdout);
    }

public:
    void information(const QString &text) override { print("information", {}, text); }
    bool confirm(const QString &text) override {
        print("confirm", QStringLiteral("Confirm"), text);
        return true;
    }
    bool confirmDelete() override {
        print("confirmDelete", QStringLiteral("Confirm"), QStringLiteral("Delete record?"));
        return true;
    }
    void error(const QString &text) override { print("error", {}, text); }
    void fatal(const QString &caption, const QString &text) override { print("fatal", caption, text); }
};
} // namespace

int main(int argc, char **argv) {
    if (argc < 3)
        return 64;
    Messages::install(std::make_unique<PrintingMessages>());
    const bool onServer = qEnvironmentVariable("DREVALON_TEST_STORE") == QLatin1String("QPSQL");
    const StoreSettings settings{onServer ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"),
                                 QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])};
    const bool closeMain = argc > 3 && std::strcmp(argv[3], "close-main") == 0;
    return Startup::run(argc, argv, settings, [closeMain] {
        // Once the main window has taken over, close it as the user would.
        auto *poll = new QTimer(Form1);
        QObject::connect(poll, &QTimer::timeout, [poll, closeMain] {
            if (!Form2->isVisible())
                return;
            std::printf("SHOWN\tForm2 maximized=%d Form1 visible=%d\n", Form2->isMaximized() ? 1 : 0,
                        Form1->isVisible() ? 1 : 0);
            std::fflush(stdout);
            poll->stop();
            if (closeMain)
                Form2->close();
        });
        poll->start(20);
    });
}
