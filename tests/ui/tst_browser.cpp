// The mini browser over a real web view and local pages: what Open loads for
// the initial text, a preset and a typed backslash address; Enter and the list
// loading nothing; back and forward through the view's own history, also past
// its ends; the page, history and text kept over hiding; and a page that can
// neither hand a link to the desktop nor read the machine's files. Web requests
// are recorded and stopped here, so nothing leaves the machine.
#include "app/DrevalonApplication.h"
#include "platform/ShopSite.h"
#include "tests/support/WebStop.h"
#include "tests/ui/UiKit.h"
#include "ui/extras/Unit9.h"

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

using namespace UiKit;

namespace {

QWebEngineView *view() { return Form9->WebBrowser1; }

/// Stands in for the desktop: notes each address handed to it.
class SchemeCatcher : public QObject {
    Q_OBJECT
public:
    explicit SchemeCatcher(QList<QUrl> *handed) : m_handed(handed) {}
public slots:
    void open(const QUrl &url) { m_handed->append(url); }

private:
    QList<QUrl> *m_handed;
};

/// The address in the box's own backslash form.
QString backslashed(const QString &path) {
    return QStringLiteral("file:\\\\") + QString(path).replace(QLatin1Char('/'), QLatin1Char('\\'));
}
} // namespace

class TestBrowser : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session;
    QTemporaryDir pages;
    WebStop web;

    QString page(const QString &name) {
        const QString path = pages.filePath(name + QStringLiteral(".html"));
        QFile file(path);
        if (!file.exists() && file.open(QIODevice::WriteOnly))
            file.write(QStringLiteral("<html><head><title>%1</title></head><body>%1</body></html>").arg(name).toUtf8());
        return path;
    }

    /// Types the address into the box and clicks Open; waits for the load to end.
    bool open(const QString &address) {
        Form9->ComboBox1->lineEdit()->selectAll();
        type(Form9->ComboBox1->lineEdit(), address);
        return clickAndWait(Form9->ToolButton3);
    }

    /// Clicks a toolbar button and waits for the view's load to end.
    static bool clickAndWait(QToolButton *button) {
        QSignalSpy finished(view(), &QWebEngineView::loadFinished);
        click(button);
        return finished.wait(15000);
    }

private slots:
    void initTestCase() {
        session = std::make_unique<Session>();
        session->start();
    }
    void cleanupTestCase() { session.reset(); }

    void opensFromTheMenusWithoutBlocking() {
        QVERIFY(!Form9->isVisible());
        Form2->N3->trigger();
        QVERIFY(Form9->isVisible());
        QVERIFY(Form9->isMaximized());
        QCOMPARE(Form9->normalGeometry().size(), QSize(870, 640));
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QVERIFY(view());
        QCOMPARE(view()->objectName(), QStringLiteral("WebBrowser1"));
        view()->page()->profile()->setUrlRequestInterceptor(&web);
        // Nothing loaded on creation.
        QCOMPARE(view()->url(), QUrl());
        QCOMPARE(view()->history()->count(), 0);
        QCOMPARE(Form9->ComboBox1->currentText(), QStringLiteral("http:\\\\"));
        QCOMPARE(Form9->ComboBox1->count(), 4);
        for (int i = 0; i < 4; ++i)
            QVERIFY(Form9->ComboBox1->itemText(i).startsWith(QStringLiteral("http:\\\\")));
        QCOMPARE(Form9->ComboBox1->itemText(3), QStringLiteral("http:\\\\") + ShopSite::address());
        Form9->close();
        Form2->N16->trigger();
        QVERIFY(Form9->isVisible());
        QCOMPARE(view()->url(), QUrl());
    }

    void openLoadsWhatTheBoxHolds() {
        QSignalSpy started(view(), &QWebEngineView::loadStarted);
        // The initial text as it stands: the engine finds no page in it.
        click(Form9->ToolButton3);
        // A preset picked from the list only fills the box, backslashes kept,
        // and Enter in the box neither loads it nor adds it to the list.
        QTest::keyClick(Form9->ComboBox1->lineEdit(), Qt::Key_Down);
        QCOMPARE(Form9->ComboBox1->currentText(), QStringLiteral(R"(http:\\www.exist.ru)"));
        QTest::keyClick(Form9->ComboBox1->lineEdit(), Qt::Key_Return);
        QCOMPARE(Form9->ComboBox1->count(), 4);
        // A load starts within milliseconds when asked for; none may come here.
        QVERIFY(!started.wait(1000));
        QCOMPARE(view()->url(), QUrl());
        QVERIFY(web.requested.isEmpty());

        QSignalSpy finished(view(), &QWebEngineView::loadFinished);
        click(Form9->ToolButton3);
        QCOMPARE(finished.count(), 0); // the click returns before the page is there
        QVERIFY(finished.wait(15000));
        QCOMPARE(web.requested, QList<QUrl>{QUrl(QStringLiteral("http://www.exist.ru/"))});
        QCOMPARE(view()->url(), QUrl(QStringLiteral("http://www.exist.ru/")));
        QCOMPARE(view()->history()->count(), 1);
        QCOMPARE(Form9->ComboBox1->currentText(), QStringLiteral(R"(http:\\www.exist.ru)"));

        // A local page typed in the backslash form, then one typed plainly.
        QVERIFY(open(backslashed(page(QStringLiteral("Каталог")))));
        QCOMPARE(view()->url(), QUrl::fromLocalFile(page(QStringLiteral("Каталог"))));
        QCOMPARE(view()->title(), QStringLiteral("Каталог"));
        QVERIFY(open(QUrl::fromLocalFile(page(QStringLiteral("B"))).toString()));
        QCOMPARE(view()->title(), QStringLiteral("B"));
        QCOMPARE(view()->history()->count(), 3);
        QCOMPARE(web.requested.size(), 1);
        QVERIFY(session->messages->boxes().isEmpty());
    }

    void backAndForwardThroughTheHistory() {
        // History: exist.ru, Каталог, B; B is shown.
        QVERIFY(clickAndWait(Form9->ToolButton1));
        QCOMPARE(view()->title(), QStringLiteral("Каталог"));
        QVERIFY(clickAndWait(Form9->ToolButton2));
        QCOMPARE(view()->title(), QStringLiteral("B"));
        // Nothing ahead: Forward does nothing, so Back lands one page before B.
        click(Form9->ToolButton2);
        QVERIFY(clickAndWait(Form9->ToolButton1));
        QCOMPARE(view()->title(), QStringLiteral("Каталог"));
        QVERIFY(clickAndWait(Form9->ToolButton1));
        QCOMPARE(view()->url(), QUrl(QStringLiteral("http://www.exist.ru/")));
        // Nothing behind: Back does nothing, so Forward lands one page after the first.
        click(Form9->ToolButton1);
        QVERIFY(clickAndWait(Form9->ToolButton2));
        QCOMPARE(view()->title(), QStringLiteral("Каталог"));
        QCOMPARE(view()->history()->count(), 3);
        QVERIFY(session->messages->boxes().isEmpty());
    }

    void hidingKeepsPageHistoryAndText() {
        QVERIFY(open(QUrl::fromLocalFile(page(QStringLiteral("C"))).toString()));
        Form9->ComboBox1->lineEdit()->selectAll();
        type(Form9->ComboBox1->lineEdit(), QStringLiteral(R"(http:\\www.zr.ru\news)"));
        const int entries = view()->history()->count();
        Form9->close();
        QVERIFY(Form9->isHidden());
        Form2->N3->trigger();
        QVERIFY(Form9->isVisible());
        QCOMPARE(view()->title(), QStringLiteral("C"));
        QCOMPARE(view()->history()->count(), entries);
        QCOMPARE(Form9->ComboBox1->currentText(), QStringLiteral(R"(http:\\www.zr.ru\news)"));
        QVERIFY(clickAndWait(Form9->ToolButton1));
        QCOMPARE(view()->title(), QStringLiteral("Каталог"));
    }

    /// A link to an unknown scheme clicked by the user, then one to a web
    /// page: the web one is asked for, the other never reaches the desktop.
    void aPageHandsNothingToTheDesktop() {
        QList<QUrl> handed;
        SchemeCatcher catcher(&handed);
        QDesktopServices::setUrlHandler(QStringLiteral("drevtest"), &catcher, "open");
        QFile file(pages.filePath(QStringLiteral("links.html")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"(<html><head><title>links</title></head><body style="margin:0">
<a id="bad" href="drevtest://payload" style="display:block;height:50vh">bad</a>
<a id="web" href="http://www.zr.ru/after" style="display:block;height:50vh">web</a></body></html>)");
        file.close();
        QVERIFY(open(QUrl::fromLocalFile(file.fileName()).toString()));
        web.requested.clear();
        QWidget *surface = view()->focusProxy();
        QVERIFY(surface);
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(surface->width() / 2, surface->height() / 4));
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(surface->width() / 2, surface->height() * 3 / 4));
        QTRY_COMPARE_WITH_TIMEOUT(web.requested, QList<QUrl>{QUrl(QStringLiteral("http://www.zr.ru/after"))}, 15000);
        QCoreApplication::processEvents();
        QDesktopServices::unsetUrlHandler(QStringLiteral("drevtest"));
        QCOMPARE(handed, QList<QUrl>{});
    }

    /// A local page's script asks for a file beside it and for a web page.
    void aLocalPageReadsNoOtherFile() {
        QFile secret(pages.filePath(QStringLiteral("secret.txt")));
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("customers");
        secret.close();
        QFile file(pages.filePath(QStringLiteral("reader.html")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"(<html><head><title>reader</title><script>
function get(u) { try { var x = new XMLHttpRequest(); x.open('GET', u, false); x.send(); return x.responseText; }
                  catch (e) { return 'refused'; } }
document.title = get('secret.txt') + ' ' + get('http://www.zr.ru/data');
</script></head><body>reader</body></html>)");
        file.close();
        web.requested.clear();
        QVERIFY(open(QUrl::fromLocalFile(file.fileName()).toString()));
        // The page before may still end its load (a blocked one): this page's
        // title has its two answers.
        QTRY_COMPARE_WITH_TIMEOUT(view()->url(), QUrl::fromLocalFile(file.fileName()), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(view()->title().contains(QLatin1Char(' ')), 15000);
        QCOMPARE(view()->title(), QStringLiteral("refused refused"));
        QCOMPARE(web.requested, QList<QUrl>{});
    }

    void whereAPageMayGo_data() {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("allowed");
        const QUrl file = QUrl::fromLocalFile(QStringLiteral("/etc/passwd"));
        QTest::newRow("web page, by a link") << QUrl("https://www.exist.ru/") << false << true;
        QTest::newRow("web page, typed") << QUrl("HTTP://www.exist.ru/") << true << true;
        QTest::newRow("local file, typed") << file << true << true;
        QTest::newRow("local file, by a link") << file << false << false;
        QTest::newRow("unknown scheme, by a link") << QUrl("drevtest://payload") << false << false;
        QTest::newRow("unknown scheme, even asked") << QUrl("drevtest://payload") << true << false;
        QTest::newRow("mail, by a link") << QUrl("mailto:a@b.ru") << false << false;
        QTest::newRow("script address") << QUrl("javascript:alert(1)") << false << false;
        QTest::newRow("data address") << QUrl("data:text/html,<b>x</b>") << false << false;
    }
    void whereAPageMayGo() {
        QFETCH(QUrl, url);
        QFETCH(bool, asked);
        QFETCH(bool, allowed);
        QCOMPARE(TForm9::mayNavigate(url, asked), allowed);
    }

    void backslashForm_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QUrl>("loaded");
        QTest::newRow("host and path") << QStringLiteral(R"(http:\\www.exist.ru\catalog\filters)")
                                       << QUrl("http://www.exist.ru/catalog/filters");
        QTest::newRow("query and fragment kept")
            << QStringLiteral(R"(https:\\h.ru\a?q=x\y#p\q)") << QUrl("https://h.ru/a?q=x%5Cy#p%5Cq");
        QTest::newRow("slashes as they stand")
            << QStringLiteral(R"(http://h.ru/a\b)") << QUrl(QStringLiteral(R"(http://h.ru/a\b)"));
        QTest::newRow("no scheme added") << QStringLiteral("www.exist.ru") << QUrl("www.exist.ru");
    }
    void backslashForm() {
        QFETCH(QString, typed);
        QFETCH(QUrl, loaded);
        QCOMPARE(TForm9::browserAddress(typed), loaded);
    }
};

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    TestBrowser test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_browser.moc"
