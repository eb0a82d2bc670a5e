// The work order over real stores: the report engine with the shipped project,
// the four data-set connections over the data module's datasets, and the
// output options window driven from inside its own loop, as a user drives it.
#include "data/Unit3.h"
#include "data/datasets/TDataLink.h"
#include "data/views/TRvDataSetConnection.h"
#include "platform/ErrorFunnel.h"
#include "platform/report/OutputOptionsWindow.h"
#include "platform/report/ReportRowSource.h"
#include "platform/report/ReportTemplate.h"
#include "platform/report/TRvProject.h"
#include "tests/support/ReportKit.h"
#include "tests/support/ScriptedMessages.h"
#include "tests/support/TestStores.h"

#include <QDir>
#include <QFile>
#include <QGraphicsView>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <functional>
#include <memory>
#include <numeric>

namespace {
const QString shippedProject = QStringLiteral(DREVALON_SOURCE_DIR "/resources/report/Project1.rav");

/// Counts everything a dataset tells the views bound to its data source.
class EventCount : public TDataLink {
public:
    int events = 0;

protected:
    void activeChanged() override { ++events; }
    void dataSetChanged() override { ++events; }
    void scrolled() override { ++events; }
    void recordChanged(TField *) override { ++events; }
    void stateChanged() override { ++events; }
};

/// Two customers (Petrov first, so he is current), his lines, Smirnova's line,
/// the shop's requisites, the data module over them and the project with its
/// four connections, as the main window sets them up.
struct Shop {
    TestStores stores;
    ScriptedMessagesGuard messages;
    std::unique_ptr<TDataModule3> module;
    std::vector<std::unique_ptr<TRvDataSetConnection>> connections;
    TRvProject project{QStringLiteral("RvProject1")};
    qint64 petrov = 0;

    Shop() {
        petrov = stores.addCustomer(QStringLiteral("Пётр"), QStringLiteral("Петров"), QStringLiteral("89161234567"));
        const qint64 smirnova = stores.addCustomer(QStringLiteral("Анна"), QStringLiteral("Смирнова"),
                                                   QStringLiteral("89035550011"), QStringLiteral("4957770022"));
        stores.addCurrent(petrov, QStringLiteral("Mann"), QStringLiteral("W 712/75"), QStringLiteral("Фильтр масляный"),
                          2, 450.5);
        stores.addCurrent(petrov, QStringLiteral("ATE"), QStringLiteral("13.0460-7218.2"),
                          QStringLiteral("<b>Колодки</b> & \"перед\""), 1, 3200);
        stores.addCurrent(petrov, QStringLiteral("Sachs"), QStringLiteral("3000 951 029"),
                          QStringLiteral("Комплект сцепления"), 1, 12500);
        stores.addCurrent(smirnova, QStringLiteral("NGK"), QStringLiteral("BKR6E"), QStringLiteral("Свеча"), 4, 250);
        stores.addCurrent(smirnova, QStringLiteral("Bosch"), QStringLiteral("F 026 400 350"),
                          QStringLiteral("Фильтр воздушный"), 1, 980);
        stores.sql(QStringLiteral("insert into IP(Name, Address, Phone, INN) values (?, ?, ?, ?)"),
                   {QStringLiteral("ИП Древалов А. В."), QStringLiteral("г. Москва, ул. Автозаводская, д. 17"),
                    QStringLiteral("8 (495) 675-12-48"), QStringLiteral("772158304649")});
        module = std::make_unique<TDataModule3>(stores.settings());
        const std::vector<TDataSet *> datasets{module->ADOTable3, module->ADOTable2, module->ADOQuery7,
                                               module->ADOTable4};
        for (std::size_t i = 0; i < datasets.size(); ++i) {
            connections.push_back(std::make_unique<TRvDataSetConnection>(
                QStringLiteral("RvDataSetConnection%1").arg(i + 1), datasets[i]));
            project.addConnection(connections.back().get());
        }
        project.setProjectFile(shippedProject);
    }
    /// Eighty more lines of two text lines each for Petrov: several pages.
    void addLongOrder() {
        for (int i = 0; i < 80; ++i)
            stores.addCurrent(petrov, QStringLiteral("Febi"), QStringLiteral("F-%1").arg(i),
                              QStringLiteral("Хомут крепления патрубка системы охлаждения №%1").arg(i), 1, 100);
        module->ADOTable2->Close();
        module->ADOTable2->Open();
    }
};

/// A thousand rows, the 501st current, noting which rows the report reads. A
/// name of every seventh row in a hundred is empty; names end in blanks.
class CountingSource : public ReportRowSource {
public:
    mutable QSet<int> read;

    QString sourceName() const override { return QStringLiteral("S"); }
    QStringList fieldNames() const override { return {"Name", "CURRENT", "recno", "opl"}; }
    int rowCount() const override { return 1000; }
    int currentRow() const override { return 500; }
    QString displayText(int row, const QString &field) const override {
        read.insert(row);
        if (field == QLatin1String("Name"))
            return row % 100 == 7 ? QString() : QStringLiteral("Имя%1  ").arg(row);
        return field.left(1).toLower() + QString::number(row);
    }
    QVariant value(int row, const QString &field) const override { return displayText(row, field); }
};
} // namespace

using namespace ReportKit;

class tst_report : public QObject {
    Q_OBJECT
private slots:
    void workOrderWrittenAsPdf();
    void projectFileParametersAndCancel();
    void datasetsPutBackAfterRun();
    void layoutsTallerThanAPage();
    void longOrderShowsItsFirstPageFirst();
    void rowsAreReadWhereTheLayoutLooks_data();
    void rowsAreReadWhereTheLayoutLooks();
};

void tst_report::workOrderWrittenAsPdf() {
    Shop shop;
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("order.pdf"));
    shop.project.SetParam(QStringLiteral("opl"), QStringLiteral("5000.5"));
    QVERIFY(withOptions(shop.project, [&](OutputOptionsWindow &window) {
        QCOMPARE(window.windowTitle(), QStringLiteral("Output Options"));
        QVERIFY(window.previewButton()->isChecked());
        QCOMPARE(window.fileNameEdit()->text(),
                 QDir::toNativeSeparators(QDir::home().filePath(QStringLiteral("Наряд-заказ.pdf"))));
        toFile(window, pdf);
    }));
    QString text = pdfText(pdf);
    for (const QString &expected :
         {QStringLiteral("НАРЯД-ЗАКАЗ"), QStringLiteral("ИП Древалов А. В."), QStringLiteral("ИНН 772158304649"),
          QStringLiteral("Петров Пётр"), QStringLiteral("89161234567"), QStringLiteral("Фильтр масляный"),
          QStringLiteral("W 712/75"), QStringLiteral("450,50"), QStringLiteral("901,00"), QStringLiteral("12 500,00"),
          QStringLiteral("Исполнитель"), QStringLiteral("Заказчик"), QStringLiteral("Страница 1 из 1")})
        QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral(" missing from:\n") + text));
    // Markup typed into a field is printed as text, never interpreted.
    QVERIFY2(text.contains(QStringLiteral("<b>Колодки</b> & \"перед\"")), qPrintable(text));
    // Only the current customer's lines; the total covers every line of the table.
    QVERIFY(!text.contains(QStringLiteral("BKR6E")));
    QVERIFY(!text.contains(QStringLiteral("Смирнова")));
    QVERIFY2(lineWith(text, QStringLiteral("Итого")).endsWith(QStringLiteral("18 581,00")), qPrintable(text));
    QVERIFY(lineWith(text, QStringLiteral("Предоплата")).endsWith(QStringLiteral("5 000,50")));
    QVERIFY(lineWith(text, QStringLiteral("К оплате")).endsWith(QStringLiteral("13 580,50")));

    // Nothing prepaid leaves the whole total to pay; a prepayment that is no
    // number is printed as typed, with the balance left to write in by hand.
    shop.project.SetParam(QStringLiteral("opl"), QString());
    QVERIFY(withOptions(shop.project, [&](OutputOptionsWindow &window) { toFile(window, pdf); }));
    text = pdfText(pdf);
    QCOMPARE(lineWith(text, QStringLiteral("Предоплата")), QStringLiteral("Предоплата, руб.:"));
    QCOMPARE(lineWith(text, QStringLiteral("К оплате")), QStringLiteral("К оплате, руб.: 18 581,00"));
    shop.project.SetParam(QStringLiteral("opl"), QStringLiteral("5000-4000"));
    QVERIFY(withOptions(shop.project, [&](OutputOptionsWindow &window) { toFile(window, pdf); }));
    text = pdfText(pdf);
    QVERIFY(lineWith(text, QStringLiteral("Предоплата")).endsWith(QStringLiteral("5000-4000")));
    QCOMPARE(lineWith(text, QStringLiteral("К оплате")), QStringLiteral("К оплате, руб.: __________"));

    // Lines of two text lines each, enough for three pages: every page has the
    // header row and its footer, and no line of the order is split between pages.
    shop.addLongOrder();
    QVERIFY(withOptions(shop.project, [&](OutputOptionsWindow &window) { toFile(window, pdf); }));
    const QStringList pages = pdfText(pdf).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QVERIFY2(pages.size() >= 3, qPrintable(QString::number(pages.size())));
    auto numbers = [](const QString &page, const QString &pattern) {
        QStringList out;
        for (const auto &match : QRegularExpression(pattern).globalMatch(page))
            out.append(match.captured(1));
        return out;
    };
    for (int i = 0; i < pages.size(); ++i) {
        QVERIFY(pages[i].contains(QStringLiteral("Наименование")));
        QVERIFY(pages[i].contains(QStringLiteral("Страница %1 из %2").arg(i + 1).arg(pages.size())));
        QCOMPARE(numbers(pages[i], QStringLiteral("№(\\d+)")), numbers(pages[i], QStringLiteral("F-(\\d+)")));
    }
    const QString second = QStringLiteral("Страница 2 из %1").arg(pages.size());
    QVERIFY(withOptions(shop.project, [&](OutputOptionsWindow &window) { toFile(window, pdf, 2, 2, 2); }));
    const QStringList sheets = pdfText(pdf).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QCOMPARE(sheets.size(), 2);
    QVERIFY(sheets[0].contains(second) && sheets[1].contains(second));
    QCOMPARE(shop.project.runCount(), 5);
}

void tst_report::projectFileParametersAndCancel() {
    Shop shop;
    QTemporaryDir dir;

    // A name without any full stop gets ".rav"; a missing file is named in full.
    shop.project.setProjectFile(dir.filePath(QStringLiteral("Project1")));
    QCOMPARE(shop.project.ProjectFile(), dir.filePath(QStringLiteral("Project1.rav")));
    shop.project.setProjectFile(dir.filePath(QStringLiteral("order.layout")));
    QCOMPARE(shop.project.ProjectFile(), dir.filePath(QStringLiteral("order.layout")));
    // A relative name, as an installed build has it, is taken from the program's
    // directory, not from wherever it was started.
    const QString started = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    shop.project.setProjectFile(QStringLiteral("../share/drevalon/Project1"));
    QVERIFY(QDir::setCurrent(started));
    QCOMPARE(shop.project.ProjectFile(), QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                                         QStringLiteral("/../share/drevalon/Project1.rav")));
    shop.project.setProjectFile(dir.filePath(QStringLiteral("Project1")));
    ErrorFunnel::guard([&] { shop.project.Execute(); });
    QCOMPARE(shop.messages->texts(QStringLiteral("error")),
             QStringList{QStringLiteral("The following reporting project does not exist:\n\"%1\"")
                             .arg(dir.filePath(QStringLiteral("Project1.rav")))});
    // A project that cannot be read, or is not UTF-8 text, is named with what is
    // wrong with it, and nothing is printed.
    const QString unreadable = dir.filePath(QStringLiteral("unreadable.rav"));
    const QString legacy = dir.filePath(QStringLiteral("cp1251.rav"));
    QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), unreadable));                  // opens, then fails to read
    QVERIFY(putFile(legacy, "<p>\xcf\xf0\xe5\xe4\xee\xef\xeb\xe0\xf2\xe0 {{opl}}</p>")); // "Предоплата" in Windows-1251
    for (const auto &[broken, reason] :
         {std::pair(unreadable, qt_error_string(EIO)), std::pair(legacy, QStringLiteral("It is not UTF-8 text."))}) {
        shop.messages->clear();
        shop.project.setProjectFile(broken);
        bool asked = false;
        ErrorFunnel::guard([&] { asked = withOptions(shop.project, [](OutputOptionsWindow &) {}); });
        QVERIFY(!asked);
        const QStringList errors = shop.messages->texts(QStringLiteral("error"));
        QVERIFY2(
            errors.size() == 1 &&
                errors[0].startsWith(
                    QStringLiteral("The following reporting project cannot be read:\n\"%1\"\n%2").arg(broken, reason)),
            qPrintable(errors.join(QLatin1Char('\n'))));
    }
    shop.messages->clear();
    QCOMPARE(shop.project.runCount(), 0);
    shop.project.setProjectFile(dir.filePath(QStringLiteral("Project1")));

    // Parameters outlive closing; the file is read again on the next opening.
    QVERIFY(QFile::copy(shippedProject, dir.filePath(QStringLiteral("Project1.rav"))));
    shop.project.SetParam(QStringLiteral("opl"), QStringLiteral("300"));
    shop.project.Open();
    shop.project.Close();
    QVERIFY(!shop.project.Active());
    QCOMPARE(shop.project.GetParam(QStringLiteral("opl")), QStringLiteral("300"));
    QVERIFY(shop.project.renderHtml().contains(QStringLiteral("18\u00a0281,00")));
    shop.project.Close();
    QVERIFY(
        putFile(dir.filePath(QStringLiteral("Project1.rav")),
                QStringLiteral(
                    "{{OPL}}|{{#RvDataSetConnection3}}{{сумма заказа}}|{{#calc}}2 * {{Сумма заказа}} - "
                    "{{opl}}{{/calc}}{{/RvDataSetConnection3}}|{{#RvDataSetConnection1}}{{#current}}"
                    "{{LMANE}}{{^phone2}}-{{/phone2}}{{/current}}{{/RvDataSetConnection1}}|{{#ruled}}{{opl}}{{/ruled}}|"
                    "{{#ruled}} {{#calc}}{{opl}} - x{{/calc}} {{/ruled}}")
                    .toUtf8()));
    QCOMPARE(shop.project.renderHtml(), QStringLiteral("300|18581|36\u00a0862,00|Петров-|300|__________"));

    // Cancel writes nothing and reports nothing; a file that cannot be written is an error.
    shop.project.setProjectFile(shippedProject);
    const QString pdf = dir.filePath(QStringLiteral("cancelled.pdf"));
    QVERIFY(withOptions(shop.project, [&](OutputOptionsWindow &window) {
        clickMark(window.fileButton());
        window.fileNameEdit()->setText(pdf);
        QTest::mouseClick(window.cancelButton(), Qt::LeftButton);
    }));
    QVERIFY(!QFile::exists(pdf));
    QVERIFY(shop.project.lastHtml().isEmpty());
    const QString unwritable = dir.filePath(QStringLiteral("no/such/dir/order.pdf"));
    ErrorFunnel::guard(
        [&] { withOptions(shop.project, [&](OutputOptionsWindow &window) { toFile(window, unwritable); }); });
    // The reason follows the file's name, in the system's words.
    auto reasonFor = [&](const QString &file) {
        const QString error = shop.messages->texts(QStringLiteral("error")).last();
        const QString named = QStringLiteral("The report cannot be written to the file:\n\"%1\"\n").arg(file);
        return error.startsWith(named) ? error.mid(named.size()) : QStringLiteral("(unnamed) ") + error;
    };
    QVERIFY2(reasonFor(unwritable).startsWith(qt_error_string(ENOENT)), qPrintable(reasonFor(unwritable)));
    // A disk that fills up while the file is written: the reason is shown, and
    // an older file of the name stays as it was, with nothing left beside it.
    const QString kept = dir.filePath(QStringLiteral("kept.pdf"));
    QVERIFY(withOptions(shop.project, [&](OutputOptionsWindow &window) { toFile(window, kept); }));
    const QByteArray before = fileBytes(kept);
    ErrorFunnel::guard([&] {
        const FullDisk full(4096);
        withOptions(shop.project, [&](OutputOptionsWindow &window) { toFile(window, kept); });
    });
    QVERIFY2(reasonFor(kept).startsWith(qt_error_string(EFBIG)), qPrintable(reasonFor(kept)));
    QVERIFY(before.size() > 4096 && fileBytes(kept) == before);
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("kept*")}, QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("kept.pdf")});

    // The preselected preview shows the report's page until its window is closed.
    int previewPages = -1;
    QTimer previewWatch;
    QObject::connect(&previewWatch, &QTimer::timeout, [&] {
        QDialog *preview = shop.project.previewWindow();
        if (!preview || !preview->isVisible())
            return;
        previewWatch.stop();
        QCOMPARE(preview->windowTitle(), QStringLiteral("Report Preview"));
        previewPages = preview->findChild<QPrintPreviewWidget *>()->pageCount();
        preview->reject();
    });
    previewWatch.start(10);
    QVERIFY(withOptions(shop.project,
                        [&](OutputOptionsWindow &window) { QTest::mouseClick(window.okButton(), Qt::LeftButton); }));
    QCOMPARE(previewPages, 1);
    QCOMPARE(shop.messages->texts(QStringLiteral("error")).size(), 2);
}

void tst_report::datasetsPutBackAfterRun() {
    Shop shop;
    QTemporaryDir dir;
    TDataModule3 &m = *shop.module;
    m.ADOTable3->setRecNo(1); // Smirnova
    m.ADOTable2->setRecNo(1); // her second line
    QVERIFY(!m.ADOTable4->Active());
    std::vector<std::unique_ptr<EventCount>> watches;
    for (TDataSource *source : {m.DataSource5, m.DataSource7, m.DataSource8}) {
        watches.push_back(std::make_unique<EventCount>());
        watches.back()->setDataSource(source);
        watches.back()->events = 0;
    }
    QVERIFY(withOptions(shop.project, [&](OutputOptionsWindow &window) {
        QVERIFY(!m.ADOTable4->Active()); // nothing is read before the output is chosen
        toFile(window, dir.filePath(QStringLiteral("order.pdf")));
    }));
    const QString text = pdfText(dir.filePath(QStringLiteral("order.pdf")));
    QVERIFY(text.contains(QStringLiteral("ИП Древалов А. В.")) && text.contains(QStringLiteral("Смирнова Анна")));
    QVERIFY(text.contains(QStringLiteral("89035550011, 4957770022")) && text.contains(QStringLiteral("BKR6E")));
    QVERIFY(!m.ADOTable4->Active());
    QCOMPARE(m.ADOTable3->RecNo(), 1);
    QCOMPARE(m.ADOTable2->RecNo(), 1);
    for (const auto &watch : watches)
        QCOMPARE(watch->events, 0);

    // A source that fails ends the run with its error, and every source opened
    // for the run is closed again.
    m.ADOQuery7->Close();
    shop.stores.sql(QStringLiteral("drop table IP"));
    ErrorFunnel::guard([&] { shop.project.renderHtml(); });
    QCOMPARE(shop.messages->texts(QStringLiteral("error")).size(), 1);
    QVERIFY(!m.ADOQuery7->Active());
    QVERIFY(!m.ADOTable4->Active());
    QCOMPARE(m.ADOTable3->RecNo(), 1);
}

void tst_report::layoutsTallerThanAPage() {
    Shop shop;
    QTemporaryDir dir;
    const QString layout = dir.filePath(QStringLiteral("tall.rav")), pdf = dir.filePath(QStringLiteral("tall.pdf"));
    shop.project.setProjectFile(layout);
    // A cell of `count` text lines from "<mark> begins" to "<mark> ends"; a page holds some 60.
    auto cell = [](const QString &mark, int count) {
        return mark + QStringLiteral(" begins") + QStringLiteral("<br>·").repeated(count - 2) + QStringLiteral("<br>") +
               mark + QStringLiteral(" ends");
    };
    struct Case {
        const char *what;
        int headerLines;
        QList<int> rowLines;
    };
    for (const Case &c : {Case{"a repeated header taller than a page", 100, QList<int>(40, 3)},
                          Case{"a repeated header that leaves no room for a row", 50, {3, 20, 20, 20, 20, 20}},
                          Case{"a row taller than a page", 2, {3, 150, 3, 3}}}) {
        QString html = QStringLiteral("<table border=\"1\"><thead><tr><th>%1</th></tr></thead>")
                           .arg(cell(QStringLiteral("Header"), c.headerLines));
        for (int row = 0; row < c.rowLines.size(); ++row)
            html += QStringLiteral("<tr><td>%1</td></tr>").arg(cell(QStringLiteral("Row%1").arg(row), c.rowLines[row]));
        QVERIFY(putFile(layout, (html + QStringLiteral("</table><p>Layout ends</p>")).toUtf8()));
        shop.project.Close();
        QVERIFY(withOptions(shop.project, [&](OutputOptionsWindow &window) { toFile(window, pdf); }));
        const QStringList pages = pdfText(pdf).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        const int lines = std::accumulate(c.rowLines.begin(), c.rowLines.end(), c.headerLines);
        QVERIFY2(pages.size() <= lines / 40 + 2, c.what);
        // The page a text is on when it is printed exactly once, else -1.
        auto pageOf = [&](const QString &text) {
            int found = -1, times = 0;
            for (int page = 0; page < pages.size(); ++page) {
                const int here = int(pages[page].count(text));
                found = here > 0 ? page : found;
                times += here;
            }
            return times == 1 ? found : -1;
        };
        // Every row is printed once, whole on one page when it fits on one.
        for (int row = 0; row < c.rowLines.size(); ++row) {
            const int begins = pageOf(QStringLiteral("Row%1 begins").arg(row));
            const int ends = pageOf(QStringLiteral("Row%1 ends").arg(row));
            QVERIFY2(begins >= 0 && (begins == ends || (c.rowLines[row] > 60 && ends > begins)),
                     qPrintable(QStringLiteral("%1: row %2").arg(c.what).arg(row)));
        }
        QVERIFY2(pageOf(QStringLiteral("Layout ends")) == pages.size() - 1, c.what);
        for (int page = 0; page < pages.size(); ++page)
            QVERIFY2(pages[page].contains(QStringLiteral("Страница %1 из %2").arg(page + 1).arg(pages.size())), c.what);
    }
    // A layout that would take an absurd number of pages is refused in words.
    QVERIFY(putFile(layout, "<p>Start</p><p style=\"margin-top: 1500000px;\">End</p>"));
    shop.project.Close();
    QVERIFY(QFile::remove(pdf));
    ErrorFunnel::guard([&] { withOptions(shop.project, [&](OutputOptionsWindow &window) { toFile(window, pdf); }); });
    QCOMPARE(shop.messages->texts(QStringLiteral("error")),
             QStringList{QStringLiteral("The report cannot be printed: its layout would take more than 1000 pages.")});
    QVERIFY(!QFile::exists(pdf));
}

void tst_report::longOrderShowsItsFirstPageFirst() {
    // The full layout written as a file is what the preview must come to show.
    Shop shop;
    QTemporaryDir dir;
    shop.addLongOrder();
    const QString full = dir.filePath(QStringLiteral("full.pdf")),
                  printed = dir.filePath(QStringLiteral("printed.pdf"));
    QVERIFY(withOptions(shop.project, [&](OutputOptionsWindow &window) { toFile(window, full); }));
    const QStringList pages = pdfText(full).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QVERIFY2(pages.size() >= 3, qPrintable(QString::number(pages.size())));

    // When the preview first paints its sheets, it knows every page and has
    // drawn the first alone; then it draws the rest.
    int drawnAtFirstPaint = -1, pagesAtFirstPaint = -1, reached = 0;
    QPrintPreviewWidget *sheets = nullptr;
    class FirstPaint : public QObject {
    public:
        std::function<void(QObject *)> seen;
        bool eventFilter(QObject *watched, QEvent *event) override {
            if (event->type() == QEvent::Paint)
                seen(watched);
            return false;
        }
    } watch;
    watch.seen = [&](QObject *watched) {
        QDialog *preview = shop.project.previewWindow();
        sheets = preview ? preview->findChild<QPrintPreviewWidget *>() : nullptr;
        const QGraphicsView *view = sheets ? sheets->findChild<QGraphicsView *>() : nullptr;
        if (drawnAtFirstPaint < 0 && view && watched == view->viewport()) {
            drawnAtFirstPaint = shop.project.previewSheetsDrawn();
            pagesAtFirstPaint = sheets->pageCount();
        }
    };
    qApp->installEventFilter(&watch);
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (!sheets || shop.project.previewSheetsDrawn() < pages.size())
            return;
        check.stop();
        // Every page is reached by the keys and by number, and the preview's
        // own printing gives the full layout, page for page.
        QGraphicsView *view = sheets->findChild<QGraphicsView *>();
        for (int i = 0; i < 4 * pages.size() && sheets->currentPage() < pages.size(); ++i)
            QTest::keyClick(view->viewport(), Qt::Key_PageDown);
        reached = sheets->currentPage();
        for (int page = pages.size(); page >= 1; --page) {
            sheets->setCurrentPage(page);
            reached = sheets->currentPage() == page ? reached : -page;
        }
        auto *preview = static_cast<QPrintPreviewDialog *>(shop.project.previewWindow());
        preview->printer()->setOutputFileName(printed);
        sheets->print();
        preview->reject();
    });
    check.start(10);
    QVERIFY(withOptions(shop.project,
                        [&](OutputOptionsWindow &window) { QTest::mouseClick(window.okButton(), Qt::LeftButton); }));
    qApp->removeEventFilter(&watch);
    QCOMPARE(pagesAtFirstPaint, pages.size());
    QCOMPARE(drawnAtFirstPaint, 1);
    QCOMPARE(reached, pages.size());
    QCOMPARE(pdfText(printed).split(QLatin1Char('\f'), Qt::SkipEmptyParts), pages);
}

void tst_report::rowsAreReadWhereTheLayoutLooks_data() {
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("rowsRead"); // -1: only the current row
    QTest::newRow("the current row") << "{{#S}}{{#current}}{{Name}}{{/current}}{{/S}}"
                                     << "Имя500" << -1;
    QTest::newRow("engine's names win, any case")
        << "{{#s}}{{#current}}{{RecNo}}.{{recno}}.{{RECNO}}.{{CURRENT}}.{{Current}}|{{/current}}{{/s}}"
        << "501.501.501.c500.|" << -1;
    QTest::newRow("a field hides a parameter in its row") << "{{opl}}{{#S}}{{#current}}{{OPL}}{{/current}}{{/S}}"
                                                          << "Po500" << -1;
    QTest::newRow("every row looked at") << "{{#S}}{{^Name}}{{RecNo}},{{/Name}}{{/S}}"
                                         << "8,108,208,308,408,508,608,708,808,908," << 1000;
}

void tst_report::rowsAreReadWhereTheLayoutLooks() {
    QFETCH(QString, layout);
    QFETCH(QString, shown);
    QFETCH(int, rowsRead);
    CountingSource source;
    const ReportTemplate report(layout, QStringLiteral("test"));
    QCOMPARE(report.render({{QStringLiteral("opl"), QStringLiteral("P")}}, {&source}), shown);
    if (rowsRead < 0)
        QCOMPARE(source.read, QSet<int>{500});
    else
        QCOMPARE(source.read.size(), rowsRead);
}

QTEST_MAIN(tst_report)
#include "tst_report.moc"
