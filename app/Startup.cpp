#include "app/Startup.h"
#include "app/DrevalonApplication.h"
#include "data/Unit3.h"
#include "data/datasets/StoreWait.h"
#include "data/views/ViewBinding.h"
#include "platform/ErrorFunnel.h"
#include "platform/Exception.h"
#include "platform/MessageBoxes.h"
#include "ui/dialogs/Unit10.h"
#include "ui/dialogs/Unit4.h"
#include "ui/dialogs/Unit5.h"
#include "ui/dialogs/Unit6.h"
#include "ui/dialogs/Unit7.h"
#include "ui/dialogs/Unit8.h"
#include "ui/extras/Unit9.h"
#include "ui/main/Unit2.h"
#include "ui/splash/Unit1.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>

namespace {
template <typename T> void destroy(T *&instance) {
    delete instance;
    instance = nullptr;
}

// While a command waits for a store another program holds, the hourglass; it
// goes when the program is back in its event loop, where the command is over.
void showStoreWaits() {
    static bool shown = false;
    StoreWait::setListener([] {
        if (shown)
            return;
        shown = true;
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        QTimer::singleShot(0, qApp, [] {
            QGuiApplication::restoreOverrideCursor();
            shown = false;
            StoreWait::commandOver();
        });
    });
}
} // namespace

void Startup::createAll(const StoreSettings &settings) {
    try {
        showStoreWaits();
        Form1 = new TForm1;
        Form2 = new TForm2;
        Form1->setHandOver(Form2);
        // The main window's views name data sources that exist only now.
        DataModule3 = new TDataModule3(settings, [](TDataModule3 &module) {
            ViewBinding::install([&module](const QString &name) { return module.findDataSource(name); });
            Form2->bindDataModule(module);
        });
        // Every dialog belongs to the main window; the mini browser is a
        // window of its own beside it.
        Form4 = new TForm4(Form2);
        Form5 = new TForm5(Form2);
        Form6 = new TForm6(Form2);
        Form7 = new TForm7(Form2);
        Form8 = new TForm8([](const QString &typed) { return Form2->unlockWith(typed); }, Form2);
        Form9 = new TForm9;
        Form10 = new TForm10([] { Form2->printWorkOrder(); }, Form2);
    } catch (...) {
        destroyAll();
        throw;
    }
}

void Startup::destroyAll() {
    destroy(Form10);
    destroy(Form9);
    destroy(Form8);
    destroy(Form7);
    destroy(Form6);
    destroy(Form5);
    destroy(Form4);
    ViewBinding::uninstall();
    destroy(DataModule3);
    destroy(Form2);
    destroy(Form1);
    StoreWait::setListener({});
}

QString Startup::fatalText(const std::exception &error) {
    const auto *own = dynamic_cast<const Exception *>(&error);
    const QString kind = own ? own->kind() : QStringLiteral("Exception");
    QString message = ErrorFunnel::messageOf(error);
    if (!message.endsWith(QLatin1Char('.')))
        message += QLatin1Char('.');
    const QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const quintptr address = reinterpret_cast<quintptr>(&Startup::createAll) & 0xFFFFFFFFu;
    return QStringLiteral("Exception %1 in module %2 at %3.\n%4")
        .arg(kind, module, QStringLiteral("%1").arg(address, 8, 16, QLatin1Char('0')).toUpper(), message);
}

int Startup::run(int &argc, char **argv, const StoreSettings &settings, const std::function<void()> &started) {
    DrevalonApplication app(argc, argv);
    try {
        createAll(settings);
    } catch (const std::exception &error) {
        Messages::service().fatal(QStringLiteral("Application Error"), fatalText(error));
        return 1;
    }
    Form1->Show();
    if (started)
        started();
    const int code = app.exec();
    destroyAll();
    return code;
}
