// Start-up and window lifetime: creation order, the start-up failures, the
// exit rule of the real program, and the error box for handler errors.
#include "app/DrevalonApplication.h"
#include "app/Startup.h"
#include "data/Unit3.h"
#include "data/datasets/EDatabaseError.h"
#include "platform/ApplicationTitle.h"
#include "platform/ErrorFunnel.h"
#include "tests/support/ScriptedMessages.h"
#include "tests/support/TestStores.h"
#include "ui/dialogs/Unit10.h"
#include "ui/dialogs/Unit4.h"
#include "ui/dialogs/Unit5.h"
#include "ui/dialogs/Unit6.h"
#include "ui/dialogs/Unit7.h"
#include "ui/dialogs/Unit8.h"
#include "ui/extras/Unit9.h"
#include "ui/main/Unit2.h"
#include "ui/splash/Unit1.h"

#include <QAccessible>
#include <QCalendarWidget>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <cstdlib>

namespace {
struct ProbeRun {
    int exitCode = -1;
    QStringList lines;
};

ProbeRun runProbe(const QStringList &arguments) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(DREVALON_PROBE), arguments);
    if (!process.waitForFinished(30000))
        process.kill();
    return {process.exitCode(),
            QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)};
}

class Thrower : public QObject {
public:
    bool event(QEvent *e) override {
        if (e->type() == QEvent::User)
            throw EDatabaseError(QStringLiteral("ADOQuery1: the store went away"));
        return QObject::event(e);
    }
};
} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Startup::destroyAll(); }

    void everyObjectCreatedOnceInOrder() {
        TestStores stores;
        ScriptedMessagesGuard messages;
        Startup::createAll(stores.settings());
        const QList<FormWindow *> windows = {Form1, Form2, Form4, Form5, Form6, Form7, Form8, Form9, Form10};
        const QStringList names = {"Form1", "Form2", "Form4", "Form5", "Form6", "Form7", "Form8", "Form9", "Form10"};
        const QStringList captions = {"Drevalon DataBase",
                                      "Drevalon",
                                      "Добавить клиента",
                                      "Удаление",
                                      "Диаграмма",
                                      "Справка",
                                      "Пароль",
                                      "Мини браузер",
                                      "Экспорт в наряд-заказ"};
        for (int i = 0; i < windows.size(); ++i) {
            QVERIFY(windows[i]);
            QCOMPARE(windows[i]->objectName(), names[i]);
            QCOMPARE(windows[i]->windowTitle(), captions[i]);
            QVERIFY2(!windows[i]->isVisible(), qPrintable(names[i]));
        }
        QVERIFY(DataModule3);
        QVERIFY(Form1->creationSerial() < Form2->creationSerial());
        QVERIFY(Form2->creationSerial() < DataModule3->creationSerial());
        QVERIFY(DataModule3->creationSerial() < Form4->creationSerial());
        for (int i = 2; i + 1 < windows.size(); ++i)
            QVERIFY(windows[i]->creationSerial() < windows[i + 1]->creationSerial());
        QVERIFY(messages->boxes().isEmpty());
        Startup::destroyAll();
        QVERIFY(!Form1 && !Form2 && !DataModule3 && !Form10);
    }

    void everyWindowCarriesTheProgramIcon() {
        // Each size as drawn, none scaled from another, and the desktop entry's name.
        // Compared premultiplied, as a pixmap holds it, within the one step of
        // rounding that the processor's own conversion may take either way.
        const QIcon icon = QApplication::windowIcon();
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QImage drawn = QImage(QStringLiteral(":/icons/drevalon-%1.png").arg(size))
                                     .convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QCOMPARE(drawn.size(), QSize(size, size));
            QVERIFY(icon.availableSizes().contains(QSize(size, size)));
            const QImage held = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QCOMPARE(held.size(), drawn.size());
            int worst = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x) {
                    const QRgb a = held.pixel(x, y), b = drawn.pixel(x, y);
                    for (int shift : {0, 8, 16, 24})
                        worst = std::max(worst, std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)));
                }
            QVERIFY2(worst <= 1, qPrintable(QStringLiteral("%1 px differs by %2").arg(size).arg(worst)));
        }
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("drevalon"));
        TestStores stores;
        Startup::createAll(stores.settings());
        QMessageBox box(QMessageBox::Information, QStringLiteral("Drevalon"), QStringLiteral("text"));
        for (QWidget *window :
             std::initializer_list<QWidget *>{Form1, Form2, Form4, Form5, Form6, Form7, Form8, Form9, Form10, &box})
            QCOMPARE(window->windowIcon().cacheKey(), icon.cacheKey());
    }

    void everyControlHasAName() {
        // As a screen reader walks the windows: every control that takes the
        // focus, and every button, has a name, and no two beside each other
        // share one. The cells of a list are named by what they show.
        TestStores stores;
        ScriptedMessagesGuard messages;
        Startup::createAll(stores.settings());
        QStringList nameless, twins;
        std::function<void(QAccessibleInterface *, const QString &)> walk = [&](QAccessibleInterface *node,
                                                                                const QString &path) {
            QStringList seen;
            for (int i = 0; i < node->childCount(); ++i) {
                QAccessibleInterface *child = node->child(i);
                if (!child)
                    continue;
                const QString name = child->text(QAccessible::Name);
                const QString where = path + QLatin1Char('/') +
                                      (child->object() ? child->object()->objectName() : QString()) + QLatin1Char('(') +
                                      QString::number(int(child->role()), 16) + QLatin1Char(')');
                if (child->state().focusable || child->role() == QAccessible::Button) {
                    if (name.trimmed().isEmpty())
                        nameless << where;
                    else if (seen.contains(name))
                        twins << where + QStringLiteral(" ") + name;
                    seen << name;
                }
                const QAccessible::Role role = child->role();
                if (role != QAccessible::Table && role != QAccessible::List && role != QAccessible::Tree)
                    walk(child, where);
            }
        };
        for (QWidget *window :
             std::initializer_list<QWidget *>{Form1, Form2, Form4, Form5, Form6, Form7, Form8, Form9, Form10})
            walk(QAccessible::queryAccessibleInterface(window), window->objectName());
        for (const QString &where : nameless + twins)
            qWarning("%s", qPrintable(where));
        QVERIFY2(nameless.isEmpty(), "focusable controls without a name (above)");
        QVERIFY2(twins.isEmpty(), "focusable controls sharing a name with a sibling (above)");
    }

    void mainFormHandsOverToTheMainWindow() {
        TestStores stores;
        Startup::createAll(stores.settings());
        Form2->MonthCalendar1->setSelectedDate(QDate(2020, 1, 1));
        Form1->Show();
        QTRY_VERIFY(Form2->isVisible());
        QVERIFY(Form2->isMaximized());
        QTRY_VERIFY(!Form1->isVisible());
        QCOMPARE(Form2->MonthCalendar1->selectedDate(), QDate::currentDate());
    }

    void unreachableDatabaseGivesNineBoxesAndComesUp_data() {
        QTest::addColumn<bool>("garbage");
        QTest::newRow("file missing") << false;
        QTest::newRow("not a database") << true;
    }
    void unreachableDatabaseGivesNineBoxesAndComesUp() {
        QFETCH(bool, garbage);
        TestStores stores;
        StoreSettings settings = stores.settings();
        if (!TestStores::onServer())
            settings.database = QDir(settings.aliasDir).filePath(QStringLiteral("../elsewhere.sqlite"));
        // On a server: nobody listening, or no such database.
        if (TestStores::onServer())
            settings.database = garbage ? settings.database + QStringLiteral(" dbname=nowhere")
                                        : QStringLiteral("host=127.0.0.1 port=1 dbname=nowhere");
        if (garbage && !TestStores::onServer()) {
            QFile file(settings.database);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(4096, 'x'));
        }
        ScriptedMessagesGuard messages;
        Startup::createAll(settings);
        const QStringList errors = messages->texts(QStringLiteral("error"));
        QCOMPARE(errors.size(), 9);
        QCOMPARE(messages->boxes().size(), 9);
        for (const QString &text : errors)
            QVERIFY2(text.startsWith(QStringLiteral("Cannot open database")) && text.endsWith(QLatin1Char('.')),
                     qPrintable(text));
        QVERIFY(!DataModule3->ADOConnection1->Connected());
        for (TDataSet *ds : std::initializer_list<TDataSet *>{
                 DataModule3->ADOQuery1, DataModule3->ADOQuery2, DataModule3->ADOTable1, DataModule3->ADOTable2,
                 DataModule3->ADOTable3, DataModule3->ADOQuery6, DataModule3->ADOQuery7, DataModule3->ADOQuery8})
            QVERIFY2(!ds->Active(), qPrintable(ds->objectName()));
        QVERIFY(DataModule3->Table1->Active()); // the local car table does not need the server
        QVERIFY(Form10);
        // Once the database is there, the next open connects.
        if (TestStores::onServer()) {
            DataModule3->ADOConnection1->setStore(settings.driver, stores.settings().database);
        } else {
            QCOMPARE(QFile::exists(settings.database), garbage); // opening never creates the file
            QFile::remove(settings.database);
            QVERIFY(QFile::copy(stores.databasePath(), settings.database));
        }
        DataModule3->ADOQuery1->Open();
        QVERIFY(DataModule3->ADOConnection1->Connected());
        QVERIFY(DataModule3->ADOQuery1->Active());
    }

    void carTableUnavailableEndsStartUp_data() {
        QTest::addColumn<QString>("breakage");
        QTest::addColumn<QString>("message");
        QTest::newRow("alias directory missing") << "dir"
                                                 << "Path not found";
        QTest::newRow("table file missing") << "file"
                                            << "Table does not exist";
        QTest::newRow("index missing") << "index"
                                       << "Index does not exist. Index: _CUST";
    }
    void carTableUnavailableEndsStartUp() {
        QFETCH(QString, breakage);
        QFETCH(QString, message);
        TestStores stores;
        if (breakage == QLatin1String("dir"))
            QVERIFY(QDir(stores.settings().aliasDir).removeRecursively());
        else if (breakage == QLatin1String("file"))
            QVERIFY(QFile::remove(stores.carTablePath()));
        else
            stores.carSql(QStringLiteral("drop index _CUST"));
        ScriptedMessagesGuard messages;
        try {
            Startup::createAll(stores.settings());
            QFAIL("start-up went on without the car table");
        } catch (const EDBEngineError &error) {
            QVERIFY2(error.message().startsWith(message), qPrintable(error.message()));
            const QStringList lines = Startup::fatalText(error).split(QLatin1Char('\n'));
            QCOMPARE(lines.size(), 2);
            QVERIFY2(QRegularExpression(QStringLiteral("^Exception EDBEngineError in module \\S+ at [0-9A-F]{8}\\.$"))
                         .match(lines[0])
                         .hasMatch(),
                     qPrintable(lines[0]));
            QCOMPARE(lines[1],
                     error.message().endsWith(QLatin1Char('.')) ? error.message() : error.message() + QLatin1Char('.'));
        }
        QVERIFY(!Form1 && !Form2 && !DataModule3);
        QVERIFY(messages->boxes().isEmpty());
        QVERIFY(!QFile::exists(stores.carTablePath()) || breakage == QLatin1String("index"));
    }

    void realProgramEndsWithCodeOneWithoutTheCarTable() {
        TestStores stores;
        const QString missingDb = stores.databasePath() + QStringLiteral(".missing");
        const QString missingAlias = stores.settings().aliasDir + QStringLiteral("-missing");
        const ProbeRun run = runProbe({missingDb, missingAlias});
        QCOMPARE(run.exitCode, 1);
        // The database box of the first server query comes first, then the fatal box.
        QCOMPARE(run.lines.size(), 2);
        QVERIFY2(run.lines[0].startsWith(QStringLiteral("BOX\terror\t\tCannot open database")),
                 qPrintable(run.lines[0]));
        const QStringList fatal = run.lines[1].split(QLatin1Char('\t'));
        QCOMPARE(fatal.value(1), QStringLiteral("fatal"));
        QCOMPARE(fatal.value(2), QStringLiteral("Application Error"));
        QVERIFY2(QRegularExpression(
                     QStringLiteral("^Exception EDBEngineError in module drevalon_probe at [0-9A-F]{8}\\.\\\\n"
                                    "Path not found\\..*\\.$"))
                     .match(fatal.value(3))
                     .hasMatch(),
                 qPrintable(fatal.value(3)));
        QVERIFY(!QFile::exists(missingDb));
        QVERIFY(!QFile::exists(missingAlias));
    }

    void realProgramEndsWithCodeZeroWhenTheMainWindowCloses() {
        TestStores stores;
        const ProbeRun run =
            runProbe({stores.settings().database, stores.settings().aliasDir, QStringLiteral("close-main")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines, QStringList{QStringLiteral("SHOWN\tForm2 maximized=1 Form1 visible=0")});
    }

    void errorBoxText_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Table does not exist"
                                << "Table does not exist.";
        QTest::newRow("digit") << "Error 42"
                               << "Error 42.";
        QTest::newRow("Cyrillic") << "Нет связи"
                                  << "Нет связи.";
        QTest::newRow("full stop") << "Done."
                                   << "Done.";
        QTest::newRow("parenthesis sorts before") << "Failed (5)"
                                                  << "Failed (5)";
        QTest::newRow("exclamation sorts before") << "Stop!"
                                                  << "Stop!";
        QTest::newRow("slash sorts after") << "a/b/"
                                           << "a/b/.";
        QTest::newRow("empty") << ""
                               << "";
    }
    void errorBoxText() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(ErrorFunnel::boxText(message), shown);
    }

    void applicationTitle_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("first letter kept as it is") << "/usr/bin/drevalon"
                                                    << "drevalon";
        QTest::newRow("upper case with extension") << "C:/DREVALON.EXE"
                                                   << "Drevalon";
        QTest::newRow("up to the first full stop") << "/opt/mY.Prog.exe"
                                                   << "my";
    }
    void applicationTitle() {
        QFETCH(QString, path);
        QFETCH(QString, title);
        QCOMPARE(applicationTitleOf(path), title);
    }

    void handlerErrorsShowTheBoxAndTheProgramGoesOn() {
        ScriptedMessagesGuard messages;
        bool after = false;
        ErrorFunnel::guard(
            [] { throw EDatabaseError(QStringLiteral("ADOTable2: Dataset not in edit or insert mode")); });
        after = true;
        Thrower thrower;
        QEvent event(QEvent::User);
        QVERIFY(!QCoreApplication::sendEvent(&thrower, &event)); // the application's last net
        QVERIFY(after);
        QCOMPARE(messages->texts(QStringLiteral("error")),
                 (QStringList{"ADOTable2: Dataset not in edit or insert mode.", "ADOQuery1: the store went away."}));
    }
};

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    TestStartup test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_startup.moc"
