// Hostile text into every input of the program, through its real windows: the
// customer search under each criterion, the add dialog's eight fields, the edit
// group's eight fields, every editable cell of the four editable grids, the
// prepayment printed in the work order, the mini browser's address box and both
// password fields. Each takes every value of one table (HostileText; the
// number texts go to the fields that take numbers): a value is stored exactly
// as the field held it, or refused with a clear message; no statement changes
// its meaning; nothing else stored changes; and the next ordinary action works.
#include "app/DrevalonApplication.h"
#include "data/datasets/SqlLiteral.h"
#include "data/views/DataSetModel.h"
#include "data/views/TDBEdit.h"
#include "data/views/TDBGrid.h"
#include "data/views/TDBNavigator.h"
#include "platform/LabeledEdit.h"
#include "platform/PictureButton.h"
#include "platform/report/ReportPages.h"
#include "tests/support/HostileText.h"
#include "tests/support/ReportKit.h"
#include "tests/support/StoreProbe.h"
#include "tests/support/WebStop.h"
#include "tests/ui/UiKit.h"
#include "ui/dialogs/Unit10.h"
#include "ui/dialogs/Unit4.h"
#include "ui/dialogs/Unit8.h"
#include "ui/extras/Unit9.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QGroupBox>
#include <QRadioButton>
#include <QSet>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <optional>

using namespace UiKit;
using HostileText::Value;

namespace {
const QString wrongPassword = QStringLiteral("Не правильный пароль! Повторите попытку!");
const QString truncated = QStringLiteral("String or binary data would be truncated");
const QString outOfBounds = QStringLiteral("Field value out of lower or upper bounds");

/// The refusal of a text holding NUL, by the store that refuses it.
QString nulRefusal(bool server) {
    return server ? QStringLiteral("The text holds a NUL character, which the database server cannot keep")
                  : QStringLiteral("The text holds a NUL character, which the database cannot keep");
}

/// Longer texts are pasted: nobody types a megabyte.
bool typed(const QString &text) { return text.size() <= 1000 && Typing::typeable(text); }

/// Replaces what a line field holds by the text, as a user does: select all,
/// then type it, or paste it when no keys give it.
void enter(QLineEdit *field, const QString &text) {
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    if (typed(text))
        type(field, text);
    else
        Typing::paste(text, field);
}

/// A field holds at most its limit, in UTF-16 units, as the line edit counts.
QString heldBy(const QLineEdit *field, const QString &text) { return text.left(field->maxLength()); }

QString unpadded(const QString &text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.left(end);
}

qsizetype characters(const QString &text) { return text.toUcs4().size(); }

/// Why a store (the server, or an embedded one) refuses a text for a column of
/// `width` characters (0: any); empty when it keeps it.
QString refusalOf(const QString &text, int width, bool server, const QString &tooLong) {
    if (text.contains(QChar(0)))
        return nulRefusal(server);
    if (width > 0 && characters(storableText(text)) > width)
        return tooLong;
    return QString();
}

/// What a number typed means: every number value of the table, under its
/// locale; any other text is no number.
std::optional<double> numberOf(const QString &text, bool integer, bool cLocale) {
    if (integer)
        return std::nullopt; // none of the table is a whole number a column holds
    if (text == QLatin1String("12345678901234567890"))
        return 12345678901234567890.0;
    if (text == QLatin1String("1.5") || (text == QLatin1String("1,5") && !cLocale))
        return 1.5;
    return std::nullopt;
}

/// Stands in for the desktop's handler of a scheme: records what it was asked to open.
class Launches : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

/// An editable grid of the program, where its commit is and what it writes.
struct Grid {
    QString name;
    std::function<TDBGrid *()> grid;
    std::function<void()> show;   ///< brings the grid's window and page up
    std::function<void()> commit; ///< posts the row as its window offers
    QString table;                ///< the table its rows are written to
    std::function<qint64()> key;  ///< the key of the row edited (row 0)
    QList<int> cells;             ///< the grid columns tried
    QStringList columns;          ///< their store columns
    QList<int> widths;            ///< their widths (0: a number)
    bool fixedWidth = false;
};
} // namespace

class TestHostile : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session;
    std::unique_ptr<StoreProbe> probe;
    QTemporaryDir scratch;
    WebStop web;
    Launches launches;
    qint64 ivan = 0;
    QSet<QString> inputs;
    QSet<QString> values;
    QSet<QString> seeded; // texts some customer is named by
    int pages = 0;
    int cases = 0;
    QString wholeListFor; // the test function that showed the whole customer list

    ScriptedMessages &boxes() const { return *session->messages; }
    QStringList errors() const { return boxes().texts(QStringLiteral("error")); }
    QString boxList() const {
        QStringList out;
        for (const ScriptedMessages::Box &box : boxes().boxes())
            out << box.kind + QStringLiteral(": ") + box.text.left(200);
        return out.join(QLatin1Char('\n'));
    }
    bool server() const { return TestStores::onServer(); }

    /// One input took one value and passed.
    void tried(const QString &input) {
        inputs.insert(input);
        values.insert(QString::fromUtf8(QTest::currentDataTag()).section(QStringLiteral(" / "), 1));
        ++cases;
    }

    /// Rows "input / value" for each input, with the input's column width, or
    /// `numberField` for a field that takes a number.
    static constexpr int numberField = -1;
    static void rows(const QStringList &names, const QList<int> &widths, const QList<Value> &extra = {}) {
        QTest::addColumn<int>("input");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("cLocale");
        for (int i = 0; i < names.size(); ++i)
            for (const Value &value :
                 HostileText::values(std::max(0, widths.value(i)), widths.value(i) == numberField) + extra)
                QTest::newRow(qPrintable(names[i] + QStringLiteral(" / ") + value.name))
                    << i << value.text << value.cLocale;
    }

    /// The row holds the expected value in the column, and nothing else
    /// stored changed: no other column of it, no other row.
    void expectStored(const StoreProbe::Snapshot &before, const StoreProbe::Snapshot &after, const QString &table,
                      qint64 key, const QString &column, const QVariant &expected, bool fixedWidth) {
        const QStringList changed = StoreProbe::changes(before, after);
        const QString row = QStringLiteral("%1 %2").arg(table).arg(key);
        QVERIFY2(changed.isEmpty() || changed == QStringList{row}, qPrintable(changed.join(QLatin1String(", "))));
        const qsizetype at = after[table].columns.indexOf(column.toLower());
        QVERIFY(at >= 0);
        QVariantList values = after[table].rows.value(key);
        QVariantList old = before[table].rows.value(key);
        QCOMPARE(values.size(), old.size());
        const QVariant stored = values.takeAt(at);
        old.removeAt(at);
        QCOMPARE(values, old); // no other column moved
        if (expected.typeId() == QMetaType::Double)
            QCOMPARE(stored.toDouble(), expected.toDouble());
        else if (fixedWidth) // blanks at the end are the column's padding
            QCOMPARE(unpadded(stored.toString()), unpadded(expected.toString()));
        else
            QCOMPARE(stored.toString(), expected.toString());
    }

    /// Prints the work order as the order page's button does, at once, into a PDF file.
    bool printWorkOrder(const QString &pdf) {
        QFile::remove(pdf);
        session->messages->answer({false}); // no check first: print at once
        return ReportKit::withOptions(
            *Form2->RvProject1, [&](OutputOptionsWindow &window) { ReportKit::toFile(window, pdf); },
            [] { click(Form2->BitBtn14); });
    }

    void showCustomerPage() {
        Form2->PageControl1->setCurrentWidget(Form2->TabSheet1);
        // The whole list, once a function: its rows keep it.
        if (wholeListFor != QLatin1String(QTest::currentTestFunction())) {
            wholeListFor = QLatin1String(QTest::currentTestFunction());
            click(Form2->BitBtn2);
        }
    }

    // --- grids -----------------------------------------------------------------

    QList<Grid> grids() {
        const QStringList lineColumns = {"Firm", "number", "description", "kol", "cena"};
        const QList<int> lineWidths = {50, 50, 100, 0, 0};
        auto lineKey = [this] {
            return probe->rows(QStringLiteral("select RowKey from orderNow where idcust = ?"), {ivan})
                .value(0)
                .value(0)
                .toLongLong();
        };
        return {
            {QStringLiteral("archive grid DBGrid2"),
             [] { return Form2->DBGrid2; },
             [] { Form2->PageControl1->setCurrentWidget(Form2->TabSheet3); },
             [] { click(Form2->DBNavigator2->button(NavigateBtn::nbPost)); },
             QStringLiteral("orderAll"),
             [this] {
                 return probe->rows(QStringLiteral("select min(RowKey) from orderAll")).value(0).value(0).toLongLong();
             },
             {0, 1, 2, 3, 4},
             lineColumns,
             lineWidths},
            {QStringLiteral("order lines grid DBGrid6"),
             [] { return Form2->DBGrid6; },
             [] { Form2->PageControl1->setCurrentWidget(Form2->TabSheet2); },
             [] { click(Form2->DBNavigator3->button(NavigateBtn::nbPost)); },
             QStringLiteral("orderNow"),
             lineKey,
             {0, 1, 2, 3, 4},
             lineColumns,
             lineWidths},
            {QStringLiteral("check dialog grid Form10.DBGrid1"),
             [] { return Form10->DBGrid1; },
             [] {
                 if (!Form10->isVisible())
                     Form10->Show();
             },
             [] { click(Form10->DBNavigator1->button(NavigateBtn::nbRefresh)); },
             QStringLiteral("orderNow"),
             lineKey,
             {2, 3, 4, 5, 6},
             lineColumns,
             lineWidths},
            {QStringLiteral("add dialog list Form4.DBGrid1"),
             [] { return Form4->DBGrid1; },
             [this] {
                 if (!Form4->isVisible()) {
                     showCustomerPage();
                     Form4->GroupBox1->show();
                     Form4->GroupBox2->hide();
                     Form4->Show();
                 }
             },
             // Moving to another row posts the one edited.
             [] { clickCell(Form4->DBGrid1, 1, 1); },
             QStringLiteral("customer"),
             [this] { return ivan; },
             {1, 2, 3, 4},
             {"Name", "lmane", "phone", "phone2"},
             {15, 15, 11, 11},
             true},
        };
    }

    static void clickCell(TDBGrid *grid, int row, int column) {
        const QRect cell = grid->visualRect(grid->model()->index(row, column));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }

    /// Enters a text into a cell as a user does: a click on the cell, then the
    /// text typed (the first key opens the cell's editor), or, for a number cell
    /// (whose keys are filtered; tst_gridediting covers that) and for what no
    /// keys give, pasted into the editor F2 opens; then Enter. Returns what the
    /// editor held at Enter (a null text when none opened) and its limit.
    static QString enterInCell(TDBGrid *grid, int row, int column, const QString &text, bool number,
                               int *limit = nullptr) {
        clickCell(grid, row, column);
        if (!number && typed(text)) {
            for (const QString &key : Typing::keys(text))
                Typing::sendKey(grid->cellEditor() ? static_cast<QWidget *>(grid->cellEditor()) : grid, key);
        } else {
            QTest::keyClick(grid->cellEditor() ? static_cast<QWidget *>(grid->cellEditor()) : grid, Qt::Key_F2);
            if (!grid->cellEditor())
                return QString();
            Typing::paste(text, grid->cellEditor());
        }
        QLineEdit *editor = grid->cellEditor();
        if (!editor)
            return QString();
        const QString held = editor->text();
        if (limit)
            *limit = editor->maxLength();
        QTest::keyClick(editor, Qt::Key_Return);
        return held;
    }

    void gridCase(const Grid &g, int cell, const QString &text, bool cLocale) {
        g.show();
        TDBGrid *grid = g.grid();
        QVERIFY(grid->isVisible());
        const int column = g.cells[cell];
        const bool number = g.widths[cell] == 0;
        const QString storeColumn = g.columns[cell];
        const qint64 key = g.key();
        QVERIFY(key > 0);
        boxes().clear();
        const StoreProbe::Snapshot before = probe->snapshot();
        QString held;
        {
            const HostileText::LocaleFor locale({QString(), text, cLocale});
            int limit = 0;
            held = enterInCell(grid, 0, column, text, number, &limit);
            QVERIFY2(!held.isNull(), "the cell's editor did not open");
            QCOMPARE(held, text.left(limit));
            if (errors().isEmpty())
                g.commit();
        }
        const StoreProbe::Snapshot after = probe->snapshot();
        QString refusal;
        QVariant expected = storableText(held);
        if (number) {
            const std::optional<double> value = numberOf(held, storeColumn == QLatin1String("kol"), cLocale);
            if (value)
                expected = *value;
            else
                refusal = QStringLiteral("'%1' is not a valid %2 value for field '%3'")
                              .arg(held,
                                   storeColumn == QLatin1String("kol") ? QStringLiteral("integer")
                                                                       : QStringLiteral("floating point"),
                                   static_cast<DataSetModel *>(grid->model())->fieldAt(column)->FieldName());
        } else {
            refusal = refusalOf(held, 0, server(), QString());
        }
        if (refusal.isEmpty()) {
            QVERIFY2(boxes().boxes().isEmpty(), qPrintable(boxList()));
            expectStored(before, after, g.table, key, storeColumn, expected, g.fixedWidth);
            return; // the next row is the next action
        }
        QCOMPARE(errors().size(), 1);
        QVERIFY2(errors().first().contains(refusal), qPrintable(errors().first() + " / " + refusal));
        QCOMPARE(StoreProbe::changes(before, after), QStringList());
        // The program goes on: an ordinary value in the same cell is written.
        boxes().clear();
        const QString ordinary = number ? QStringLiteral("3") : QStringLiteral("Обычный");
        if (grid->cellEditor()) {
            QTest::keyClick(grid->cellEditor(), Qt::Key_A, Qt::ControlModifier);
            type(grid->cellEditor(), ordinary);
            QTest::keyClick(grid->cellEditor(), Qt::Key_Return);
        } else {
            QCOMPARE(enterInCell(grid, 0, column, ordinary, false), ordinary);
        }
        g.commit();
        QVERIFY2(boxes().boxes().isEmpty(), qPrintable(boxList()));
        expectStored(after, probe->snapshot(), g.table, key, storeColumn, number ? QVariant(3.0) : QVariant(ordinary),
                     g.fixedWidth);
    }

private slots:
    void initTestCase() {
        session = std::make_unique<Session>();
        TestStores &s = session->stores;
        ivan = s.addCustomer(QStringLiteral("Иван"), QStringLiteral("Иванов"), QStringLiteral("111"),
                             QStringLiteral("222"));
        // Customers named by the table's texts, so a search finds what it
        // must; and ones only a search that changed its meaning would find.
        for (const Value &value : HostileText::values(0)) {
            const QString text = storableText(value.text);
            if (text.contains(QChar(0)) || characters(text) > 15)
                continue;
            s.addCustomer(text, text, characters(text) <= 11 ? text : QStringLiteral("0"),
                          characters(text) <= 11 ? text : QString());
            seeded.insert(text);
        }
        for (const QString &decoy : {QStringLiteral("100%"), QStringLiteral("a_b"), QStringLiteral("x' or '1'='1 y"),
                                     QStringLiteral("Ivan"), QStringLiteral(":named")})
            s.addCustomer(decoy, decoy, QStringLiteral("9"), decoy.left(11));
        s.addCar(QStringLiteral("Лада Гранта"), QStringLiteral("XTA219000K0000001"), ivan);
        s.addArchived(ivan, QStringLiteral("NGK"), QStringLiteral("BKR6E"), QStringLiteral("Свеча"), 4, 300,
                      QStringLiteral("2025-12-01"));
        s.addCurrent(ivan, QStringLiteral("Mahle"), QStringLiteral("OC 90"), QStringLiteral("Фильтр"), 2, 450);
        session->start();
        probe = std::make_unique<StoreProbe>(s);
        QVERIFY(boxes().boxes().isEmpty());
        Form2->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Form2));
    }

    void cleanupTestCase() {
        for (const char *scheme : {"mailto", "drevalon-probe"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        qInfo("Hostile input: %d inputs x %d values tried, %d cases", int(inputs.size()), int(values.size()), cases);
        probe.reset();
        session.reset();
    }

    // --- both password fields, while the lock is closed ---------------------

    void passwords_data() {
        const QChar nul(0);
        rows({QStringLiteral("page password"), QStringLiteral("password window")}, {0, 0},
             {{QStringLiteral("password and NUL"), QStringLiteral("742") + nul},
              {QStringLiteral("password and comment"), QStringLiteral("742'--")},
              {QStringLiteral("password and pattern"), QStringLiteral("74%")},
              {QStringLiteral("password and blank"), QStringLiteral("742 ")}});
    }
    void passwords() {
        QFETCH(int, input);
        QFETCH(QString, text);
        boxes().clear();
        const StoreProbe::Snapshot before = probe->snapshot();
        QLineEdit *field = input == 0 ? static_cast<QLineEdit *>(Form2->LabeledEdit10) : Form8->LabeledEdit1;
        if (input == 1)
            Form8->Show();
        enter(field, text);
        QCOMPARE(field->text(), heldBy(field, text));
        click(input == 0 ? Form2->BitBtn7 : Form8->BitBtn1);
        QCOMPARE(boxes().texts(QStringLiteral("information")), QStringList{wrongPassword});
        QCOMPARE(boxes().boxes().size(), 1);
        QVERIFY(Form2->GroupBox4->isHidden());
        QVERIFY(!Form2->LabeledEdit10->isHidden());
        QCOMPARE(StoreProbe::changes(before, probe->snapshot()), QStringList());
        // The same field answers the next try as ever.
        enter(field, QStringLiteral("743"));
        click(input == 0 ? Form2->BitBtn7 : Form8->BitBtn1);
        QCOMPARE(boxes().boxes().size(), 2);
        if (input == 1) {
            QVERIFY(Form8->isVisible());
            Form8->Close();
        }
        tried(input == 0 ? QStringLiteral("page password") : QStringLiteral("password window"));
    }

    // --- the customer search ---------------------------------------------------

    void search_data() {
        rows({QStringLiteral("search by first name"), QStringLiteral("search by surname"),
              QStringLiteral("search by phone")},
             {15, 15, 11});
    }
    void search() {
        QFETCH(int, input);
        QFETCH(QString, text);
        QRadioButton *criteria[] = {Form2->RadioButton1, Form2->RadioButton2, Form2->RadioButton3};
        Form2->PageControl1->setCurrentWidget(Form2->TabSheet1);
        boxes().clear();
        const StoreProbe::Snapshot before = probe->snapshot();
        click(criteria[input]);
        enter(Form2->LabeledEdit1, text);
        const QString held = Form2->LabeledEdit1->text();
        QCOMPARE(held, heldBy(Form2->LabeledEdit1, text));
        click(Form2->BitBtn1);
        TADOQuery *customers = DataModule3->ADOQuery1;
        if (held.contains(QChar(0))) {
            QCOMPARE(errors().size(), 1);
            QVERIFY2(errors().first().contains(nulRefusal(server())), qPrintable(errors().first()));
            QCOMPARE(StoreProbe::changes(before, probe->snapshot()), QStringList());
            // The next search finds as ever.
            boxes().clear();
            click(Form2->RadioButton1);
            enter(Form2->LabeledEdit1, QStringLiteral("Иван"));
            click(Form2->BitBtn1);
            QVERIFY2(boxes().boxes().isEmpty(), qPrintable(boxList()));
            QCOMPARE(customers->RecordCount(), 1);
            QCOMPARE(customers->FieldByName(QStringLiteral("Номер"))->AsInteger(), ivan);
        } else {
            QVERIFY2(boxes().boxes().isEmpty(), qPrintable(boxList()));
            // The search compares the whole text with the column, as a bound
            // value compares: no text widens, narrows or ends the condition.
            const QString condition[] = {QStringLiteral("Name = ?"), QStringLiteral("lmane = ?"),
                                         QStringLiteral("phone = ? or phone2 = ?")};
            const QString bound = storableText(held);
            QList<qint64> expected;
            for (const QVariantList &row : probe->rows(
                     QStringLiteral("select idcust from customer where %1 order by idcust").arg(condition[input]),
                     input == 2 ? QVariantList{bound, bound} : QVariantList{bound}))
                expected << row.value(0).toLongLong();
            QList<qint64> found;
            for (customers->First(); !customers->Eof(); customers->Next())
                found << customers->FieldByName(QStringLiteral("Номер"))->AsInteger();
            std::sort(found.begin(), found.end());
            QCOMPARE(found, expected);
            QCOMPARE(Form2->DBGrid1->model()->rowCount(), expected.size());
            // A customer named by a text of the table is found by it.
            if (seeded.contains(bound) && characters(bound) <= (input == 2 ? 11 : 15))
                QVERIFY(!expected.isEmpty());
            QCOMPARE(StoreProbe::changes(before, probe->snapshot()), QStringList());
        }
        tried(QStringLiteral("search %1").arg(input));
    }

    // --- the add dialog ----------------------------------------------------------

    void addDialog_data() {
        rows({QStringLiteral("add: first name"), QStringLiteral("add: surname"), QStringLiteral("add: phone"),
              QStringLiteral("add: second phone"), QStringLiteral("add: model"), QStringLiteral("add: VIN"),
              QStringLiteral("add: engine"), QStringLiteral("add: gearbox")},
             {15, 15, 11, 11, 30, 17, 10, 4});
    }
    void addDialog() {
        QFETCH(int, input);
        QFETCH(QString, text);
        const bool car = input >= 4;
        const QList<LabeledEdit *> fields = car ? QList<LabeledEdit *>{Form4->LabeledEdit5, Form4->LabeledEdit6,
                                                                       Form4->LabeledEdit7, Form4->LabeledEdit8}
                                                : QList<LabeledEdit *>{Form4->LabeledEdit1, Form4->LabeledEdit2,
                                                                       Form4->LabeledEdit3, Form4->LabeledEdit4};
        const QStringList ordinary = car ? QStringList{"Лада Веста", "XTA000000000000", "1.6", "МКПП"}
                                         : QStringList{"Олег", "Смирнов", "5550001", "5550002"};
        const QStringList columns =
            car ? QStringList{"model", "vin", "dvs", "kpp"} : QStringList{"name", "lmane", "phone", "phone2"};
        const int widths[] = {15, 15, 11, 11, 30, 17, 10, 4};
        const QString table = car ? QStringLiteral("drevalonParadox") : QStringLiteral("customer");

        auto fill = [&](int field, const QString &value) {
            Form4->GroupBox1->setVisible(car);
            Form4->GroupBox2->setVisible(!car);
            Form4->Show();
            for (int i = 0; i < 4; ++i)
                enter(fields[i], i == field ? value : ordinary[i]);
        };
        auto add = [&] {
            session->messages->answer({false}); // no car after the customer
            click(car ? Form4->BitBtn1 : Form4->BitBtn2);
        };

        showCustomerPage();
        boxes().clear();
        const StoreProbe::Snapshot before = probe->snapshot();
        fill(input % 4, text);
        const QString held = fields[input % 4]->text();
        QCOMPARE(held, heldBy(fields[input % 4], text));
        add();
        const StoreProbe::Snapshot after = probe->snapshot();
        const QString refusal = refusalOf(held, widths[input], server() && !car, car ? outOfBounds : truncated);
        const QStringList changed = StoreProbe::changes(before, after);
        if (refusal.isEmpty()) {
            QVERIFY2(errors().isEmpty(), qPrintable(boxList()));
            QCOMPARE(changed.size(), 1);
            QVERIFY2(changed.first().startsWith(table + QStringLiteral(" +")), qPrintable(changed.first()));
            const StoreProbe::Table &rows = after[table];
            const qint64 added = rows.rows.lastKey();
            for (int i = 0; i < 4; ++i) {
                const QString stored = rows.value(added, columns[i]).toString();
                const QString expected = i == input % 4 ? storableText(held) : ordinary[i];
                QCOMPARE(car ? stored : unpadded(stored), car ? expected : unpadded(expected));
            }
            if (car)
                QCOMPARE(rows.value(added, QStringLiteral("idcust")).toLongLong(), ivan);
            QVERIFY(!Form4->isVisible());
        } else {
            QCOMPARE(errors().size(), 1);
            QVERIFY2(errors().first().contains(refusal), qPrintable(errors().first() + " / " + refusal));
            QCOMPARE(boxes().boxes().size(), 1); // no question after a refusal
            QCOMPARE(changed, QStringList());
            QVERIFY(Form4->isVisible()); // the typed values stay for a correction
            QCOMPARE(fields[input % 4]->text(), held);
            // Corrected, the entry is stored.
            boxes().clear();
            enter(fields[input % 4], ordinary[input % 4]);
            add();
            QVERIFY2(errors().isEmpty(), qPrintable(boxList()));
            const QStringList added = StoreProbe::changes(after, probe->snapshot());
            QCOMPARE(added.size(), 1);
            QVERIFY2(added.first().startsWith(table + QStringLiteral(" +")), qPrintable(added.first()));
            QVERIFY(!Form4->isVisible());
        }
        tried(QStringLiteral("add %1").arg(input));
    }

    // --- the edit group of the customer page -------------------------------------

    void editGroup_data() {
        rows({QStringLiteral("DBEdit1 first name"), QStringLiteral("DBEdit2 surname"), QStringLiteral("DBEdit3 phone"),
              QStringLiteral("DBEdit4 second phone"), QStringLiteral("DBEdit5 model"), QStringLiteral("DBEdit6 VIN"),
              QStringLiteral("DBEdit7 engine"), QStringLiteral("DBEdit8 gearbox")},
             {15, 15, 11, 11, 30, 17, 10, 4});
    }
    void editGroup() {
        QFETCH(int, input);
        QFETCH(QString, text);
        if (Form2->GroupBox4->isHidden()) {
            // The lock still opens after every hostile password.
            enter(Form2->LabeledEdit10, QStringLiteral("742"));
            click(Form2->BitBtn7);
            QVERIFY(!Form2->GroupBox4->isHidden());
        }
        TDBEdit *edits[] = {Form2->DBEdit1, Form2->DBEdit2, Form2->DBEdit3, Form2->DBEdit4,
                            Form2->DBEdit5, Form2->DBEdit6, Form2->DBEdit7, Form2->DBEdit8};
        const QStringList columns = {"Name", "lmane", "phone", "phone2", "Model", "Vin", "DVS", "KPP"};
        TDBEdit *field = edits[input];
        const bool car = input >= 4;
        const QString table = car ? QStringLiteral("drevalonParadox") : QStringLiteral("customer");
        auto key = [&] {
            return car ? probe
                             ->carRows(QStringLiteral("select min(IdCar) from drevalonParadox where IdCust = ?"),
                                       {ivan})
                             .value(0)
                             .value(0)
                             .toLongLong()
                       : ivan;
        };
        showCustomerPage();
        QCOMPARE(DataModule3->ADOQuery1->FieldByName(QStringLiteral("Номер"))->AsInteger(), ivan);
        boxes().clear();
        const StoreProbe::Snapshot before = probe->snapshot();
        enter(field, text);
        const QString held = field->text();
        QCOMPARE(held, heldBy(field, text));
        click(Form2->BitBtn4);
        const StoreProbe::Snapshot after = probe->snapshot();
        const QString refusal = refusalOf(held, 0, server() && !car, QString());
        if (refusal.isEmpty()) {
            QVERIFY2(boxes().boxes().isEmpty(), qPrintable(boxList()));
            expectStored(before, after, table, key(), columns[input], storableText(held), !car);
        } else {
            QCOMPARE(errors().size(), 1);
            QVERIFY2(errors().first().contains(refusal), qPrintable(errors().first() + " / " + refusal));
            QCOMPARE(StoreProbe::changes(before, after), QStringList());
            // The program goes on: an ordinary text in the same field is written by the next OK.
            boxes().clear();
            enter(field, QStringLiteral("АКПП"));
            click(Form2->BitBtn4);
            QVERIFY2(boxes().boxes().isEmpty(), qPrintable(boxList()));
            expectStored(after, probe->snapshot(), table, key(), columns[input], QStringLiteral("АКПП"), !car);
        }
        tried(columns[input]);
    }

    // --- every editable grid cell ----------------------------------------------------

    void gridCells_data() {
        QStringList names;
        QList<int> widths;
        for (const Grid &grid : grids())
            for (int i = 0; i < grid.cells.size(); ++i) {
                names << grid.name + QLatin1Char(' ') + grid.columns[i];
                widths << (grid.widths[i] > 0 ? grid.widths[i] : numberField);
            }
        rows(names, widths);
    }
    void gridCells() {
        QFETCH(int, input);
        QFETCH(QString, text);
        QFETCH(bool, cLocale);
        int cell = input;
        for (const Grid &grid : grids()) {
            if (cell < grid.cells.size()) {
                gridCase(grid, cell, text, cLocale);
                if (!QTest::currentTestFailed())
                    tried(grid.name + QLatin1Char(' ') + grid.columns[cell]);
                return;
            }
            cell -= grid.cells.size();
        }
        QFAIL("no such cell");
    }

    // --- the prepayment, printed in the work order ------------------------------------

    void prepayment_data() { rows({QStringLiteral("prepayment")}, {numberField}); }
    void prepayment() {
        QFETCH(QString, text);
        QFETCH(bool, cLocale);
        for (FormWindow *dialog : {static_cast<FormWindow *>(Form10), static_cast<FormWindow *>(Form4)})
            if (dialog->isVisible())
                dialog->Close();
        Form2->PageControl1->setCurrentWidget(Form2->TabSheet2);
        const QString pdf = scratch.filePath(QStringLiteral("order.pdf"));
        boxes().clear();
        const StoreProbe::Snapshot before = probe->snapshot();
        QString held;
        {
            const HostileText::LocaleFor locale({QString(), text, cLocale});
            enter(Form2->Edit1, text);
            held = Form2->Edit1->text();
            QCOMPARE(held, heldBy(Form2->Edit1, text));
            QVERIFY(printWorkOrder(pdf));
        }
        QVERIFY2(errors().isEmpty(), qPrintable(boxList()));
        QVERIFY(QFile::exists(pdf));
        // The work order shows the prepayment as money when it is an amount
        // (either decimal separator), else as typed: as text, never as markup,
        // a tag or a statement, and never rounded to another amount.
        const bool amount = held == QLatin1String("1,5") || held == QLatin1String("1.5");
        const ReportPages pages(Form2->RvProject1->lastHtml());
        const QString document = pages.document().toPlainText();
        // Runs of blanks, tabs and line breaks are one blank in a document.
        const QString expected = amount ? QStringLiteral("1,50") : storableText(held);
        QVERIFY2(document.simplified().contains(expected.simplified()),
                 qPrintable(QStringLiteral("%1 missing from the work order").arg(expected.left(100))));
        // And so in the file, where every glyph of it is plain Latin.
        static const QRegularExpression plain(QStringLiteral("^[ -~]{1,40}$"));
        if (plain.match(held).hasMatch())
            QVERIFY2(ReportKit::pdfText(pdf).simplified().contains(expected.simplified()),
                     qPrintable(QStringLiteral("%1 missing from the printed file").arg(expected)));
        QCOMPARE(StoreProbe::changes(before, probe->snapshot()), QStringList());
        tried(QStringLiteral("prepayment"));
    }
    void prepaymentAfterwards() {
        // After every hostile prepayment, an ordinary one prints as money.
        const QString pdf = scratch.filePath(QStringLiteral("order.pdf"));
        boxes().clear();
        enter(Form2->Edit1, QStringLiteral("1000"));
        QVERIFY(printWorkOrder(pdf));
        QVERIFY2(errors().isEmpty(), qPrintable(boxList()));
        QVERIFY(Form2->RvProject1->lastHtml().contains(QStringLiteral("1\u00a0000,00")));
    }

    // --- the mini browser's address box -------------------------------------------------

    void browser_data() {
        rows({QStringLiteral("browser address")}, {0},
             {{QStringLiteral("script address"), QStringLiteral("javascript:void(document.title='ran')")},
              {QStringLiteral("mail address"), QStringLiteral("mailto:shop@example.com")},
              {QStringLiteral("other program's address"), QStringLiteral("drevalon-probe:run")},
              {QStringLiteral("data address"), QStringLiteral("data:text/html,<title>ran</title>")},
              {QStringLiteral("program file"), QStringLiteral("file:///bin/sh")}});
    }
    void browser() {
        QFETCH(QString, text);
        if (!Form9->isVisible()) {
            Form2->N3->trigger();
            QVERIFY(Form9->WebBrowser1);
            Form9->WebBrowser1->page()->profile()->setUrlRequestInterceptor(&web);
            for (const char *scheme : {"mailto", "drevalon-probe"})
                QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &launches, "open");
        }
        QWebEngineView *view = Form9->WebBrowser1;
        // A page of its own for each row, so its title tells that it loaded.
        const QString title = QStringLiteral("page%1").arg(++pages);
        const QString page = scratch.filePath(title + QStringLiteral(".html"));
        {
            QFile file(page);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(
                QStringLiteral("<html><head><title>%1</title></head><body>%1</body></html>").arg(title).toUtf8());
        }
        auto open = [&](const QString &address) {
            enter(Form9->ComboBox1->lineEdit(), address);
            click(Form9->ToolButton3);
        };
        boxes().clear();
        web.requested.clear();
        const StoreProbe::Snapshot before = probe->snapshot();
        open(text);
        QCOMPARE(Form9->ComboBox1->lineEdit()->text(), heldBy(Form9->ComboBox1->lineEdit(), text));
        // A script typed as an address would run at once in the page shown.
        if (text.startsWith(QLatin1String("javascript:")))
            QTest::qWait(500);
        QVERIFY(view->title() != QLatin1String("ran"));
        // The next page opens as ever, and nothing was handed to another program.
        open(QUrl::fromLocalFile(page).toString());
        QTRY_COMPARE_WITH_TIMEOUT(view->title(), title, 15000);
        QCOMPARE(launches.opened, QList<QUrl>());
        QCOMPARE(web.requested, QList<QUrl>());
        // An address that is no page to read is refused, and says so.
        const QString scheme = TForm9::browserAddress(text).scheme();
        const bool readable = scheme.isEmpty() || QStringList{"http", "https", "file"}.contains(scheme);
        QCOMPARE(errors().size(), readable ? 0 : 1);
        for (const QString &error : errors())
            QVERIFY2(error.startsWith(QStringLiteral("Адрес «%1:…» не открыт").arg(scheme)), qPrintable(error));
        QCOMPARE(StoreProbe::changes(before, probe->snapshot()), QStringList());
        tried(QStringLiteral("browser"));
    }
};

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    TestHostile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hostile.moc"
