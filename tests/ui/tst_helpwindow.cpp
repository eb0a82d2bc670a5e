// The help and author window: both modes opened from the menu one after the
// other in either order, the site link handing the shop's address to the shell
// while the window stays open and modal, and the desktop shell supplying the
// scheme the address is written without.
#include "DrevalonBuild.h"
#include "app/DrevalonApplication.h"
#include "platform/DesktopShell.h"
#include "tests/support/RecordingShell.h"
#include "tests/ui/UiKit.h"
#include "ui/dialogs/Unit7.h"

#include <QAction>
#include <QDesktopServices>
#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>
#include <QUrl>

using namespace UiKit;

namespace {
QList<QLabel *> labels() {
    return {Form7->Label1, Form7->Label2, Form7->Label3, Form7->Label4, Form7->Label5, Form7->Label6, Form7->Label7};
}

/// What the user sees of the window while it is open.
struct Seen {
    QString caption;
    QList<bool> visible;
    bool modal = false;

    static Seen now() {
        Seen seen{Form7->windowTitle(), {}, QApplication::activeModalWidget() == Form7};
        for (QLabel *label : labels())
            seen.visible.append(label->isVisible());
        return seen;
    }
};

const QList<bool> helpLines = {true, true, true, true, false, false, false};
const QList<bool> authorLines = {false, false, false, false, true, true, true};

Seen openThrough(QAction *item, const std::function<void()> &inside = {}) {
    Seen seen;
    const bool ran = whileModal(
        Form7, [item] { item->trigger(); },
        [&] {
            seen = Seen::now();
            if (inside)
                inside();
        });
    if (!ran)
        qWarning("the window was not shown modally");
    return seen;
}

QString hintOver(QWidget *widget) {
    QToolTip::hideText();
    const QPoint at = widget->rect().center();
    QHelpEvent help(QEvent::ToolTip, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &help);
    const QString hint = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    return hint;
}

/// Takes the web addresses the desktop would hand to a browser.
class BrowserStandIn : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};
} // namespace

class TestHelpWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session;
    std::unique_ptr<RecordingShellGuard> shell;

    const RecordingShell &recorded() const { return **shell; }

private slots:
    void init() {
        session = std::make_unique<Session>();
        session->start();
        shell = std::make_unique<RecordingShellGuard>();
    }
    void cleanup() {
        shell.reset();
        session.reset();
    }

    void modesSwitchBothWays() {
        QCOMPARE(Form7->Image1->pixmap().size(), QSize(802, 183));
        // From the designed state to help, to author, and back to help.
        const Seen help = openThrough(Form2->N10);
        const Seen author = openThrough(Form2->N11);
        const Seen helpAgain = openThrough(Form2->N10);
        const Seen authorAgain = openThrough(Form2->N11);
        for (const Seen &seen : {help, helpAgain}) {
            QCOMPARE(seen.caption, QStringLiteral("Справка"));
            QCOMPARE(seen.visible, helpLines);
            QVERIFY(seen.modal);
        }
        for (const Seen &seen : {author, authorAgain}) {
            QCOMPARE(seen.caption, QStringLiteral("Автор"));
            QCOMPARE(seen.visible, authorLines);
            QVERIFY(seen.modal);
        }
        // Hidden, the window keeps the mode it was last opened in.
        QVERIFY(Form7->isHidden());
        QCOMPARE(Form7->windowTitle(), QStringLiteral("Автор"));
        QVERIFY(session->messages->boxes().isEmpty());
    }

    void linkOpensTheShopSite() {
        QString hint;
        Qt::CursorShape cursor = Qt::ArrowCursor;
        Seen afterClick;
        openThrough(Form2->N10, [&] {
            hint = hintOver(Form7->Label2);
            cursor = Form7->Label2->cursor().shape();
            QTest::mouseClick(Form7->Label2, Qt::LeftButton);
            afterClick = Seen::now();
        });
        QCOMPARE(hint, QStringLiteral("Открыть сайт"));
        QCOMPARE(cursor, Qt::PointingHandCursor);
        QCOMPARE(Form7->Label2->palette().color(QPalette::WindowText), Form7->palette().color(QPalette::Highlight));
        QCOMPARE(recorded().opened(), QStringList{Form7->Label2->text()});
        // The address as people write it: the site's host, the web prefix, no scheme.
        const QString address = recorded().opened().value(0);
        QVERIFY(!address.contains(QLatin1String("://")));
        QVERIFY(address.startsWith(QLatin1String("www.")));
        QVERIFY(address.endsWith(QUrl(QString::fromUtf8(DrevalonBuild::webAddress)).host()));
        QCOMPARE(afterClick.visible, helpLines);
        QVERIFY(afterClick.modal);
        QVERIFY(session->messages->boxes().isEmpty());
    }

    void authorModeHasNothingToClick() {
        QStringList hands;
        openThrough(Form2->N11, [&] {
            for (QLabel *label : labels()) {
                if (!label->isVisible())
                    continue;
                QTest::mouseClick(label, Qt::LeftButton);
                if (label->cursor().shape() == Qt::PointingHandCursor)
                    hands << label->objectName();
            }
            QTest::mouseClick(Form7, Qt::LeftButton, Qt::NoModifier, QPoint(100, 190));
        });
        QVERIFY(hands.isEmpty());
        QVERIFY(recorded().opened().isEmpty());
    }

    void desktopShellSuppliesTheScheme() {
        BrowserStandIn browser;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "open");
        DesktopShell desktop;
        desktop.openUrl(QStringLiteral("www.drevalon.example.ru"));
        desktop.openUrl(QStringLiteral("http://www.drevalon.example.ru/price"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QCOMPARE(browser.urls, (QList<QUrl>{QUrl(QStringLiteral("http://www.drevalon.example.ru")),
                                            QUrl(QStringLiteral("http://www.drevalon.example.ru/price"))}));
    }
};

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    TestHelpWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_helpwindow.moc"
