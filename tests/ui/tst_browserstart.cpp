// The mini browser where its web engine cannot start: run by root with the
// engine's sandbox on, the engine would end the whole program. The window opens
// all the same, without a view, and says why in the error box, at its first
// showing and at every button; the program goes on.
#include "app/DrevalonApplication.h"
#include "tests/ui/UiKit.h"
#include "ui/extras/Unit9.h"

#include <QAction>
#include <QComboBox>
#include <QToolButton>

#include <unistd.h>

using namespace UiKit;

class TestBrowserStart : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session;

private slots:
    void initTestCase() {
        if (::geteuid() != 0)
            QSKIP("only root is refused the engine's sandbox");
        // This suite's own process never lets the engine start.
        qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
        qunsetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        session = std::make_unique<Session>();
        session->start();
    }
    void cleanupTestCase() { session.reset(); }

    void opensAndReportsInsteadOfEnding() {
        Form2->N3->trigger();
        QVERIFY(Form9->isVisible());
        QCOMPARE(Form9->WebBrowser1, nullptr);
        const QStringList errors = session->messages->texts(QStringLiteral("error"));
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().contains(QLatin1String("root")));
        QVERIFY(errors.first().contains(QLatin1String("QTWEBENGINE_DISABLE_SANDBOX=1")));

        for (QToolButton *button : {Form9->ToolButton1, Form9->ToolButton2, Form9->ToolButton3})
            click(button);
        QCOMPARE(session->messages->texts(QStringLiteral("error")), QStringList(4, errors.first()));
        QCOMPARE(Form9->ComboBox1->currentText(), QStringLiteral("http:\\\\"));
        Form9->close();
        QVERIFY(Form9->isHidden());
        QVERIFY(Form2->isVisible());
    }
};

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    TestBrowserStart test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_browserstart.moc"
