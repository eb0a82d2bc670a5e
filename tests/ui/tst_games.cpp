// The games menu: every item starts the program at its own path below the
// games folder as a real process, detached and in our working directory, once
// per choice; the snake alone asks to be shown as it is; with the games folder
// missing the items do nothing at all.
#include "DrevalonBuild.h"
#include "app/DrevalonApplication.h"
#include "tests/support/RecordingShell.h"
#include "tests/ui/UiKit.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace UiKit;

namespace {
struct Game {
    QAction *item;
    QString path;
};

QList<Game> items() {
    return {{Form2->N1, QStringLiteral("go_quads/DODGE1/vorlk/xwxwc.exe")},
            {Form2->N9, QStringLiteral("snake/Project1.exe")},
            {Form2->N13, QStringLiteral("yetisports/yetisports1.exe")},
            {Form2->N21, QStringLiteral("yetisports/yetisports2.exe")},
            {Form2->N31, QStringLiteral("yetisports/yetisports3.exe")},
            {Form2->N41, QStringLiteral("yetisports/yetisports4.exe")},
            {Form2->N51, QStringLiteral("yetisports/yetisports5.exe")},
            {Form2->N61, QStringLiteral("yetisports/yetisports6.exe")},
            {Form2->N71, QStringLiteral("yetisports/yetisports7.exe")}};
}

/// A small program at the game's path that notes which game it is and the
/// directory it was started in.
void placeGame(const QDir &folder, const Game &game, const QString &log) {
    const QString path = folder.filePath(game.path);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile script(path);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(
        QStringLiteral("#!/bin/sh\necho \"%1 $(pwd -P)\" >> '%2'\n").arg(game.item->objectName(), log).toUtf8());
    script.close();
    QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner));
}

QStringList lines(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
} // namespace

class TestGames : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session;
    QTemporaryDir games, ours, logs;
    QString startedIn;

private slots:
    void initTestCase() {
        // Our own working directory, apart from every game's folder.
        startedIn = QDir::currentPath();
        QVERIFY(QDir::setCurrent(ours.path()));
    }
    void cleanupTestCase() { QDir::setCurrent(startedIn); }

    void init() {
        session = std::make_unique<Session>();
        session->start();
    }
    void cleanup() { session.reset(); }

    void eachItemStartsItsProgramOncePerChoice() {
        const QString log = logs.filePath(QStringLiteral("started.log"));
        for (const Game &game : items())
            placeGame(QDir(games.path()), game, log);
        Form2->setGamesDir(games.path());

        for (const Game &game : items()) {
            game.item->trigger();
            game.item->trigger();
        }
        // Detached: every one runs on its own and is waited for here only.
        QTRY_COMPARE_WITH_TIMEOUT(lines(log).size(), 18, 20000);
        const QString here = QDir(ours.path()).canonicalPath();
        QStringList expected;
        for (const Game &game : items())
            expected << game.item->objectName() + QLatin1Char(' ') + here
                     << game.item->objectName() + QLatin1Char(' ') + here;
        QStringList seen = lines(log);
        seen.sort();
        expected.sort();
        QCOMPARE(seen, expected);
        QVERIFY(session->messages->boxes().isEmpty());
    }

    void showModesAndPaths() {
        RecordingShellGuard shell;
        QCOMPARE(Form2->gamesDir(), QString::fromUtf8(DrevalonBuild::gamesDir));
        Form2->setGamesDir(QStringLiteral("/opt/games"));
        for (const Game &game : items())
            game.item->trigger();
        QCOMPARE(shell->started().size(), 9);
        for (int i = 0; i < 9; ++i) {
            const RecordingShell::Start &start = shell->started()[i];
            QCOMPARE(start.path, QStringLiteral("/opt/games/") + items()[i].path);
            QCOMPARE(start.workingDir, QDir::currentPath());
            QCOMPARE(start.mode, items()[i].item == Form2->N9 ? ShowMode::Show : ShowMode::ShowNormal);
        }
    }

    void missingFolderChangesNothing() {
        Form2->setGamesDir(games.filePath(QStringLiteral("absent")));
        QWidget *page = Form2->PageControl1->currentWidget();
        for (const Game &game : items())
            game.item->trigger();
        QVERIFY(session->messages->boxes().isEmpty());
        QVERIFY(Form2->isVisible());
        QCOMPARE(Form2->PageControl1->currentWidget(), page);
        QVERIFY(!QFileInfo::exists(games.filePath(QStringLiteral("absent"))));
    }
};

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    TestGames test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_games.moc"
