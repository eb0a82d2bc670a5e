// The main window and its customer page, driven as a user drives them: the
// search and its conditions, whole and full lists and the link, committing
// edits typed into the edit group, the lists' columns, the frame, the menus,
// and the exit commands.
#include "app/DrevalonApplication.h"
#include "data/views/TDBEdit.h"
#include "data/views/TDBGrid.h"
#include "data/views/TDBNavigator.h"
#include "platform/BackgroundImage.h"
#include "platform/LabeledEdit.h"
#include "platform/PictureButton.h"
#include "tests/ui/UiKit.h"
#include "ui/extras/Unit9.h"

#include <QAction>
#include <QCalendarWidget>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>

using namespace UiKit;

namespace {
QString rtrim(QString text) {
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

/// A column of the rows a dataset holds now, trailing blanks of the fixed-width values dropped.
QStringList column(TDataSet *ds, const QString &field) {
    QStringList out;
    const TField *f = ds->FieldByName(field);
    for (int row = 0; row < ds->RecordCount(); ++row)
        out << rtrim(ds->valueAt(row, *f).toString());
    return out;
}

QList<qint64> numbers(TDataSet *ds, const QString &field) {
    QList<qint64> out;
    const TField *f = ds->FieldByName(field);
    for (int row = 0; row < ds->RecordCount(); ++row)
        out << ds->valueAt(row, *f).toLongLong();
    return out;
}

TDataSet *customers() { return DataModule3->ADOQuery1; }
TDataSet *cars() { return DataModule3->Table1; }
TDataSet *archive() { return DataModule3->ADOTable1; }

QStringList captions(const QList<QAction *> &actions) {
    QStringList out;
    for (QAction *a : actions)
        out << a->text();
    return out;
}

/// Clicks a row of a grid where the mouse would.
void clickRow(TDBGrid *grid, int row) {
    const QRect cell = grid->visualRect(grid->model()->index(row, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
}
} // namespace

class TestCustomerPage : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session;
    qint64 ivanov = 0, petrov = 0, oneil = 0, nameless = 0;

    ScriptedMessages &boxes() const { return *session->messages; }
    QStringList customerList() const { return column(customers(), QStringLiteral("Фамилия")); }

    void search(QRadioButton *criterion, const QString &text) {
        if (criterion)
            click(criterion);
        retype(Form2->LabeledEdit1, text);
        click(Form2->BitBtn1);
    }

private slots:
    void init() {
        session = std::make_unique<Session>();
        TestStores &s = session->stores;
        ivanov = s.addCustomer(QStringLiteral("Иван"), QStringLiteral("Иванов"), QStringLiteral("111"),
                               QStringLiteral("222"));
        petrov = s.addCustomer(QStringLiteral("Пётр"), QStringLiteral("Петров"), QStringLiteral("333"),
                               QStringLiteral("111"));
        oneil = s.addCustomer(QStringLiteral("Шон"), QStringLiteral("O'Нил"), QStringLiteral("444"));
        nameless = s.addCustomer(QString(), QStringLiteral("Безымянный"), QStringLiteral("555"));
        s.addCar(QStringLiteral("Лада Гранта"), QStringLiteral("XTA219000K0000001"), ivanov);
        s.addCar(QStringLiteral("Нива"), QStringLiteral("XTA212140K0000002"), ivanov);
        s.addCar(QStringLiteral("Kia Rio"), QStringLiteral("Z94CB41AAJR000003"), petrov);
        s.addArchived(ivanov, QStringLiteral("NGK"), QStringLiteral("BKR6E"), QStringLiteral("Свеча"), 4, 300,
                      QStringLiteral("2025-12-01"));
        s.addArchived(petrov, QStringLiteral("TRW"), QStringLiteral("GDB1330"), QStringLiteral("Колодки"), 1, 2500,
                      QStringLiteral("2025-12-02"));
        s.addArchived(petrov, QStringLiteral("Mann"), QStringLiteral("C 2774"), QStringLiteral("Фильтр"), 2, 800,
                      QStringLiteral("2025-12-03"));
        session->start();
        QCOMPARE(customerList(), (QStringList{"Иванов", "Петров", "O'Нил", "Безымянный"}));
        QVERIFY(boxes().boxes().isEmpty());
    }

    void cleanup() {
        Startup::destroyAll();
        session.reset();
    }

    // --- search --------------------------------------------------------------

    void searchComparesTheWholeValueOfTheChosenColumn_data() {
        QTest::addColumn<int>("criterion");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("first name") << 1 << "Иван" << QStringList{"Иванов"};
        QTest::newRow("first name, part of it") << 1 << "Ива" << QStringList{};
        QTest::newRow("first name, leading blank kept") << 1 << " Иван" << QStringList{};
        QTest::newRow("empty first name") << 1 << "" << QStringList{"Безымянный"};
        QTest::newRow("surname") << 2 << "Петров" << QStringList{"Петров"};
        QTest::newRow("surname with an apostrophe") << 2 << "O'Нил" << QStringList{"O'Нил"};
        QTest::newRow("surname, text that would widen the condition") << 2 << "x' or '1'='1" << QStringList{};
        QTest::newRow("first name, text that would end the statement")
            << 1 << "'; delete from customer; --" << QStringList{};
        QTest::newRow("phone, first or second") << 3 << "111" << QStringList{"Иванов", "Петров"};
        QTest::newRow("phone, second only") << 3 << "222" << QStringList{"Иванов"};
        QTest::newRow("phone, text that would widen the condition") << 3 << "1' or '1'='1" << QStringList{};
    }
    void searchComparesTheWholeValueOfTheChosenColumn() {
        QFETCH(int, criterion);
        QFETCH(QString, text);
        QFETCH(QStringList, found);
        QRadioButton *radio = criterion == 1   ? Form2->RadioButton1
                              : criterion == 2 ? Form2->RadioButton2
                                               : Form2->RadioButton3;
        // Move off the first customer, so re-opening visibly comes back to the first row.
        customers()->Last();
        search(radio, text);
        QVERIFY(radio->isChecked());
        QCOMPARE(boxes().boxes().size(), 0);
        QVERIFY(customers()->Active());
        QCOMPARE(customerList(), found);
        QCOMPARE(Form2->DBGrid1->model()->rowCount(), found.size());
        QCOMPARE(session->count(QStringLiteral("customer")), 4); // no text ever changes the store
        if (!found.isEmpty()) {
            QCOMPARE(customers()->RecNo(), 0);
            // The car list follows the first customer found.
            const qint64 first = customers()->FieldByName(QStringLiteral("Номер"))->AsInteger();
            for (qint64 owner : numbers(cars(), QStringLiteral("IdCust")))
                QCOMPARE(owner, first);
            QCOMPARE(cars()->RecordCount(), session->cars(QStringLiteral("IdCust = ?"), {first}));
        }
    }

    void criteriaExcludeEachOtherAndNoneIsSelectedAtStart() {
        QVERIFY(!Form2->RadioButton1->isChecked());
        QVERIFY(!Form2->RadioButton2->isChecked());
        QVERIFY(!Form2->RadioButton3->isChecked());
        click(Form2->RadioButton3);
        click(Form2->RadioButton2);
        QVERIFY(Form2->RadioButton2->isChecked());
        QVERIFY(!Form2->RadioButton1->isChecked() && !Form2->RadioButton3->isChecked());
        // The surname criterion alone is in force: a phone does not match a surname.
        retype(Form2->LabeledEdit1, QStringLiteral("111"));
        click(Form2->BitBtn1);
        QCOMPARE(customerList(), QStringList{});
    }

    void searchWithoutCriterionRereadsUnderTheConditionInForce() {
        // At start the condition lets every customer through; the text is not used.
        const qint64 late =
            session->stores.addCustomer(QStringLiteral("Олег"), QStringLiteral("Поздний"), QStringLiteral("666"));
        retype(Form2->LabeledEdit1, QStringLiteral("Иванов"));
        click(Form2->BitBtn1);
        QCOMPARE(customerList(), (QStringList{"Иванов", "Петров", "O'Нил", "Безымянный", "Поздний"}));
        QVERIFY(numbers(customers(), QStringLiteral("Номер")).contains(late));
        QVERIFY(boxes().boxes().isEmpty());
    }

    void wholeListClearsTheCondition() {
        search(Form2->RadioButton2, QStringLiteral("Петров"));
        QCOMPARE(customerList(), QStringList{"Петров"});
        click(Form2->BitBtn2);
        QCOMPARE(customerList(), (QStringList{"Иванов", "Петров", "O'Нил", "Безымянный"}));
        QCOMPARE(customers()->RecNo(), 0);
        // The condition is gone for good: the commit re-reads every customer too.
        unlockByPage();
        click(Form2->BitBtn4);
        QCOMPARE(customers()->RecordCount(), 4);
        QVERIFY(boxes().boxes().isEmpty());
    }

    // --- full lists and the link -------------------------------------------------

    void fullListsShowEveryRowUntilTheLinkRestrictsAgain() {
        search(Form2->RadioButton2, QStringLiteral("Петров"));
        QCOMPARE(cars()->RecordCount(), 1);
        QCOMPARE(archive()->RecordCount(), 2);

        click(Form2->BitBtn5);
        QCOMPARE(customerList(), (QStringList{"Иванов", "Петров", "O'Нил", "Безымянный"})); // condition cleared
        QCOMPARE(cars()->RecordCount(), 3);
        QCOMPARE(archive()->RecordCount(), 3);
        QCOMPARE(Form2->DBGrid3->model()->rowCount(), 3);
        QCOMPARE(Form2->DBGrid4->model()->rowCount(), 3);

        // Whatever customer is selected, the lists stay whole.
        clickRow(Form2->DBGrid1, 3);
        QCOMPARE(customers()->RecNo(), 3);
        QCOMPARE(cars()->RecordCount(), 3);
        QCOMPARE(archive()->RecordCount(), 3);
        clickRow(Form2->DBGrid1, 1);
        QCOMPARE(customers()->RecNo(), 1);
        QCOMPARE(cars()->RecordCount(), 3);
        cars()->Last();

        // The link restricts both lists to the selected customer again, without re-reading it.
        click(Form2->BitBtn6);
        QCOMPARE(customers()->RecNo(), 1);
        QCOMPARE(customers()->FieldByName(QStringLiteral("Номер"))->AsInteger(), petrov);
        QCOMPARE(column(cars(), QStringLiteral("Model")), QStringList{"Kia Rio"});
        QCOMPARE(cars()->RecNo(), 0);
        QCOMPARE(column(archive(), QStringLiteral("Firm")).size(), 2);
        for (qint64 owner : numbers(archive(), QStringLiteral("idcust")))
            QCOMPARE(owner, petrov);
        QCOMPARE(archive()->RecNo(), 0);

        // And they follow the selection again.
        clickRow(Form2->DBGrid1, 0);
        QCOMPARE(cars()->RecordCount(), 2);
        QCOMPARE(archive()->RecordCount(), 1);
        QVERIFY(boxes().boxes().isEmpty());
    }

    void linkWhenLinkedChangesNothing() {
        QCOMPARE(cars()->RecordCount(), 2); // Ivanov's
        cars()->Last();
        QCOMPARE(cars()->RecNo(), 1);
        click(Form2->BitBtn6);
        QCOMPARE(cars()->RecNo(), 1);
        QCOMPARE(cars()->RecordCount(), 2);
        QCOMPARE(customers()->RecordCount(), 4);
        QVERIFY(boxes().boxes().isEmpty());
    }

    // --- edits and the commit ---------------------------------------------------------

    void commitStoresTypedEditsAndKeepsTheCondition() {
        unlockByPage();
        search(Form2->RadioButton3, QStringLiteral("111"));
        QCOMPARE(customerList(), (QStringList{"Иванов", "Петров"}));
        clickRow(Form2->DBGrid1, 1); // Petrov, and his one car
        QCOMPARE(rtrim(Form2->DBEdit2->text()), QStringLiteral("Петров"));
        QCOMPARE(rtrim(Form2->DBEdit5->text()), QStringLiteral("Kia Rio"));

        retype(Form2->DBEdit1, QStringLiteral("Пьер"));
        retype(Form2->DBEdit2, QStringLiteral("Петров-Водкин"));
        retype(Form2->DBEdit5, QStringLiteral("Kia 'Rio' X"));
        retype(Form2->DBEdit8, QStringLiteral("АКПП"));
        QCOMPARE(customers()->State(), DataSetState::Edit);
        QCOMPARE(cars()->State(), DataSetState::Edit);
        QCOMPARE(session->count(QStringLiteral("customer"), QStringLiteral("Name = 'Пьер'")), 0); // not yet written

        click(Form2->BitBtn4);
        QVERIFY2(boxes().boxes().isEmpty(), qPrintable(boxes().texts(QStringLiteral("error")).join('\n')));
        QCOMPARE(
            session->count(QStringLiteral("customer"),
                           QStringLiteral("idcust = ? and Name = 'Пьер' and lmane = 'Петров-Водкин' and phone = '333' "
                                          "and phone2 = '111'"),
                           {petrov}),
            1);
        QCOMPARE(session->cars(QStringLiteral("IdCust = ? and Model = ? and KPP = ?"),
                               {petrov, QStringLiteral("Kia 'Rio' X"), QStringLiteral("АКПП")}),
                 1);
        QCOMPARE(session->count(QStringLiteral("customer")), 4);
        QCOMPARE(session->cars(), 3);
        // Re-read under the phone condition, back on the first customer with his cars.
        QCOMPARE(customers()->State(), DataSetState::Browse);
        QCOMPARE(cars()->State(), DataSetState::Browse);
        QCOMPARE(customerList(), (QStringList{"Иванов", "Петров-Водкин"}));
        QCOMPARE(customers()->RecNo(), 0);
        QCOMPARE(column(cars(), QStringLiteral("Model")), (QStringList{"Лада Гранта", "Нива"}));
    }

    void everyEditFieldIsWrittenToItsColumn_data() {
        QTest::addColumn<int>("edit");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("column");
        QTest::newRow("DBEdit1 first name") << 1 << "Иоанн"
                                            << "Name";
        QTest::newRow("DBEdit2 surname") << 2 << "Д'Иванов"
                                         << "lmane";
        QTest::newRow("DBEdit3 phone") << 3 << "89161234567"
                                       << "phone";
        QTest::newRow("DBEdit4 second phone") << 4 << ""
                                              << "phone2";
        QTest::newRow("DBEdit5 model") << 5 << "Лада Веста"
                                       << "Model";
        QTest::newRow("DBEdit6 VIN") << 6 << "XTA'000000000001"
                                     << "Vin";
        QTest::newRow("DBEdit7 engine") << 7 << "1.6"
                                        << "DVS";
        QTest::newRow("DBEdit8 gearbox") << 8 << "МКПП"
                                         << "KPP";
    }
    void everyEditFieldIsWrittenToItsColumn() {
        QFETCH(int, edit);
        QFETCH(QString, text);
        QFETCH(QString, column);
        unlockByPage();
        TDBEdit *edits[] = {Form2->DBEdit1, Form2->DBEdit2, Form2->DBEdit3, Form2->DBEdit4,
                            Form2->DBEdit5, Form2->DBEdit6, Form2->DBEdit7, Form2->DBEdit8};
        retype(edits[edit - 1], text);
        click(Form2->BitBtn4);
        QVERIFY2(boxes().boxes().isEmpty(), qPrintable(boxes().texts(QStringLiteral("error")).join('\n')));
        if (edit <= 4) {
            // An emptied text field holds no value.
            const QString condition =
                text.isEmpty() ? QStringLiteral("%1 is null").arg(column) : QStringLiteral("%1 = ?").arg(column);
            QCOMPARE(session->count(QStringLiteral("customer"), QStringLiteral("idcust = ? and ") + condition,
                                    text.isEmpty() ? QVariantList{ivanov} : QVariantList{ivanov, text}),
                     1);
        } else {
            QCOMPARE(session->cars(QStringLiteral("IdCar = 1 and IdCust = ? and %1 = ?").arg(column), {ivanov, text}),
                     1);
        }
        QCOMPARE(rtrim(edits[edit - 1]->text()), text); // shown again after the re-reading
    }

    void commitWithoutEditsRereadsTheLists() {
        unlockByPage();
        clickRow(Form2->DBGrid1, 2);
        const qint64 late =
            session->stores.addCustomer(QStringLiteral("Олег"), QStringLiteral("Поздний"), QStringLiteral("666"));
        session->stores.addCar(QStringLiteral("ГАЗель"), QStringLiteral("X96330200K0000004"), ivanov);
        click(Form2->BitBtn4);
        QVERIFY(numbers(customers(), QStringLiteral("Номер")).contains(late));
        QCOMPARE(customers()->RecNo(), 0);
        QCOMPARE(column(cars(), QStringLiteral("Model")), (QStringList{"Лада Гранта", "Нива", "ГАЗель"}));
        QCOMPARE(session->count(QStringLiteral("customer"), QStringLiteral("lmane = 'Иванов' and Name = 'Иван'")), 1);
        QVERIFY(boxes().boxes().isEmpty());
    }

    void commitTheStoreRefusesKeepsTheEditAndStops() {
        session->stores.refuse(QStringLiteral("refuse"), QStringLiteral("update"), QStringLiteral("customer"),
                               QStringLiteral("Row refused"), QStringLiteral("NEW.lmane = 'Запрет'"));
        unlockByPage();
        session->stores.addCustomer(QStringLiteral("Олег"), QStringLiteral("Поздний"), QStringLiteral("666"));
        clickRow(Form2->DBGrid1, 1);
        retype(Form2->DBEdit2, QStringLiteral("Запрет"));
        click(Form2->BitBtn4);
        const QStringList errors = boxes().texts(QStringLiteral("error"));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(QStringLiteral("Row refused")), qPrintable(errors.first()));
        QCOMPARE(boxes().boxes().size(), 1);
        // The row keeps its typed value in edit state and nothing was re-read.
        QCOMPARE(customers()->State(), DataSetState::Edit);
        QCOMPARE(customers()->RecNo(), 1);
        QCOMPARE(Form2->DBEdit2->text(), QStringLiteral("Запрет"));
        QCOMPARE(customers()->RecordCount(), 4);
        QCOMPARE(
            session->count(QStringLiteral("customer"), QStringLiteral("lmane = 'Петров' and idcust = ?"), {petrov}), 1);
    }

    void uncommittedCustomerEditIsLostByTheListCommandsTheCarEditIsNot_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("search") << "search";
        QTest::newRow("whole list") << "whole";
        QTest::newRow("full lists") << "full";
    }
    void uncommittedCustomerEditIsLostByTheListCommandsTheCarEditIsNot() {
        QFETCH(QString, command);
        unlockByPage();
        retype(Form2->DBEdit2, QStringLiteral("Сидоров"));
        retype(Form2->DBEdit6, QStringLiteral("VIN-EDITED"));
        QCOMPARE(customers()->State(), DataSetState::Edit);
        QCOMPARE(cars()->State(), DataSetState::Edit);
        if (command == QLatin1String("search"))
            search(Form2->RadioButton1, QStringLiteral("Иван"));
        else if (command == QLatin1String("whole"))
            click(Form2->BitBtn2);
        else
            click(Form2->BitBtn5);
        QVERIFY(boxes().boxes().isEmpty());
        QCOMPARE(customers()->State(), DataSetState::Browse);
        QCOMPARE(session->count(QStringLiteral("customer"), QStringLiteral("lmane = 'Сидоров'")), 0);
        QCOMPARE(
            session->count(QStringLiteral("customer"), QStringLiteral("lmane = 'Иванов' and idcust = ?"), {ivanov}), 1);
        QCOMPARE(rtrim(Form2->DBEdit2->text()), QStringLiteral("Иванов"));
        // Closing the customer list first makes the car list finish its own edit: that one is written.
        QCOMPARE(session->cars(QStringLiteral("Vin = 'VIN-EDITED' and IdCust = ? and Model = 'Лада Гранта'"), {ivanov}),
                 1);
        QCOMPARE(cars()->State(), DataSetState::Browse);
        // A commit afterwards has nothing left to write.
        click(Form2->BitBtn4);
        QCOMPARE(session->count(QStringLiteral("customer"), QStringLiteral("lmane = 'Сидоров'")), 0);
    }

    // --- the lists ---------------------------------------------------------------------

    void listsShowTheirColumnsAndNeverEditInCells() {
        QCOMPARE(Form2->DBGrid1->Columns(), (QStringList{"Имя", "Фамилия", "телефон", "Доп.телефон"}));
        QCOMPARE(Form2->DBGrid3->Columns(), (QStringList{"Model", "Vin", "DVS", "KPP", "IdCust"}));
        QCOMPARE(Form2->DBGrid4->Columns(), (QStringList{"Firm", "number", "description", "Kol", "cena", "Date"}));
        const TDBGrid::Options shared = TDBGrid::defaultOptions() & ~TDBGrid::Options(TDBGrid::dgEditing);
        for (TDBGrid *grid : {Form2->DBGrid1, Form2->DBGrid3, Form2->DBGrid4}) {
            QCOMPARE(grid->options(), shared);
            QCOMPARE(grid->model()->columnCount(), grid->Columns().size());
        }
        QCOMPARE(Form2->DBGrid1->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Фамилия"));
        QCOMPARE(Form2->DBGrid1->model()->index(0, 1).data().toString().trimmed(), QStringLiteral("Иванов"));

        // Typing into a list starts no edit, even with the lock open.
        unlockByPage();
        Form2->DBGrid1->setFocus();
        type(Form2->DBGrid1, QStringLiteral("Ж"));
        QCOMPARE(customers()->State(), DataSetState::Browse);
        QVERIFY(!Form2->DBGrid1->cellEditor());
    }

    void keyboardDeleteInTheListsAsksFirstInEitherLockState() {
        // Locked: the car list still deletes its selected row after the question.
        Form2->DBGrid3->setFocus();
        boxes().answer({false});
        QTest::keyClick(Form2->DBGrid3, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(boxes().texts(QStringLiteral("confirmDelete")).size(), 1);
        QCOMPARE(session->cars(), 3);
        QTest::keyClick(Form2->DBGrid3, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(boxes().texts(QStringLiteral("confirmDelete")).size(), 2);
        QCOMPARE(session->cars(QStringLiteral("IdCust = ?"), {ivanov}), 1);
        QCOMPARE(session->cars(QStringLiteral("Model = 'Лада Гранта'")), 0);
        // Unlocked: the same on the customer list.
        unlockByPage();
        clickRow(Form2->DBGrid1, 2);
        QTest::keyClick(Form2->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(boxes().texts(QStringLiteral("confirmDelete")).size(), 3);
        QCOMPARE(session->count(QStringLiteral("customer"), QStringLiteral("idcust = ?"), {oneil}), 0);
        QCOMPARE(session->count(QStringLiteral("customer")), 3);
    }

    // --- the frame and the menus ---------------------------------------------------------

    void orderPlacementIsThePageShownFirst() {
        Startup::destroyAll();
        Startup::createAll(session->stores.settings());
        QCOMPARE(Form2->PageControl1->currentWidget(), Form2->TabSheet2);
        QStringList tabs;
        for (int i = 0; i < Form2->PageControl1->count(); ++i)
            tabs << Form2->PageControl1->tabText(i);
        QCOMPARE(tabs, (QStringList{"Главная", "Архив заказов", "Оформление заказа"}));
        QCOMPARE(Form2->PageControl1->widget(0), Form2->TabSheet1);
        QCOMPARE(Form2->PageControl1->widget(1), Form2->TabSheet3);
        QCOMPARE(Form2->PageControl1->widget(2), Form2->TabSheet2);
        QCOMPARE(Form2->windowTitle(), QStringLiteral("Drevalon"));
    }

    void calendarAndExitButtonLieOverEveryPage() {
        Form2->resize(1288, 1003);
        for (QWidget *w : std::initializer_list<QWidget *>{Form2->MonthCalendar1, Form2->BitBtn3}) {
            QVERIFY(Form2->isAncestorOf(w));
            QVERIFY(!Form2->PageControl1->isAncestorOf(w));
        }
        QCOMPARE(Form2->MonthCalendar1->geometry(), QRect(1000, 736, 217, 193));
        QCOMPARE(Form2->BitBtn3->geometry(), QRect(1168, 32, 97, 39));
        for (QWidget *page : {Form2->TabSheet1, Form2->TabSheet3, Form2->TabSheet2}) {
            Form2->PageControl1->setCurrentWidget(page);
            QVERIFY(Form2->MonthCalendar1->isVisible());
            QVERIFY(Form2->BitBtn3->isVisible());
            // Whatever lies at their place, they are the ones the mouse reaches.
            QWidget *client = Form2->BitBtn3->parentWidget();
            QCOMPARE(client->childAt(Form2->BitBtn3->geometry().center()), Form2->BitBtn3);
            QWidget *atCalendar = client->childAt(Form2->MonthCalendar1->geometry().center());
            QVERIFY(atCalendar == Form2->MonthCalendar1 || Form2->MonthCalendar1->isAncestorOf(atCalendar));
        }
    }

    void mainMenuItemsInOrder() {
        const QList<QAction *> top = Form2->MainMenu1->actions();
        QCOMPARE(top, (QList<QAction *>{Form2->N4, Form2->N2, Form2->N12}));
        QCOMPARE(captions(top), (QStringList{"Окна", "О программе", "Игры"}));
        QCOMPARE(Form2->N4->menu()->actions(),
                 (QList<QAction *>{Form2->N5, Form2->N6, Form2->N7, Form2->N8, Form2->N3}));
        QCOMPARE(captions(Form2->N4->menu()->actions()),
                 (QStringList{"Добавить", "Удалить", "Диаграмма", "Ввести пароль", "Мини Браузер"}));
        QCOMPARE(captions(Form2->N2->menu()->actions()), (QStringList{"Справка", "Автор"}));
        QCOMPARE(Form2->N2->menu()->actions(), (QList<QAction *>{Form2->N10, Form2->N11}));
        QCOMPARE(captions(Form2->N12->menu()->actions()),
                 (QStringList{"Квадратики", "Змейка", "Йети с битой", "Йети и касатка", "Пингвинов в верх",
                              "Йети и чайки", "Йети гольф", "Йети серфер", "Йети и сноуборд"}));
        QCOMPARE(Form2->N12->menu()->actions(),
                 (QList<QAction *>{Form2->N1, Form2->N9, Form2->N13, Form2->N21, Form2->N31, Form2->N41, Form2->N51,
                                   Form2->N61, Form2->N71}));
        QList<QAction *> all = top;
        for (QAction *menu : top)
            all += menu->menu()->actions();
        for (QAction *a : all) {
            QVERIFY2(a->isEnabled() && a->isVisible(), qPrintable(a->objectName()));
            QVERIFY2(a->shortcut().isEmpty(), qPrintable(a->objectName()));
            QVERIFY2(!a->text().contains(QLatin1Char('&')), qPrintable(a->objectName()));
        }
    }

    void contextMenuItemsInOrderOverThePageBackground() {
        QCOMPARE(Form2->PopupMenu1->actions(),
                 (QList<QAction *>{Form2->N14, Form2->N15, Form2->N16, Form2->N17, Form2->N18}));
        QCOMPARE(captions(Form2->PopupMenu1->actions()),
                 (QStringList{"Ввести пароль", "Заставка", "Мини браузер", "Диаграмма", "Выход"}));
        for (QAction *a : Form2->PopupMenu1->actions()) {
            QVERIFY2(a->isEnabled() && a->isVisible() && a->shortcut().isEmpty(), qPrintable(a->objectName()));
        }

        // A right click on a page's background brings the window's context menu.
        bool shown = false;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            shown = Form2->PopupMenu1->isVisible();
            Form2->PopupMenu1->close();
        });
        timer.start(0);
        const QPoint at(200, 920);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, Form2->Image1->mapToGlobal(at));
        QApplication::sendEvent(Form2->Image1, &event);
        QVERIFY(shown);
    }

    void pictureButtonsShowTheHandExceptTheCommitButton() {
        const QList<QAbstractButton *> hand = {Form2->BitBtn1,      Form2->BitBtn2,      Form2->BitBtn3,
                                               Form2->BitBtn5,      Form2->BitBtn6,      Form2->BitBtn7,
                                               Form2->BitBtn8,      Form2->BitBtn9,      Form2->BitBtn11,
                                               Form2->RadioButton1, Form2->RadioButton2, Form2->RadioButton3};
        for (QAbstractButton *b : hand)
            QVERIFY2(b->cursor().shape() == Qt::PointingHandCursor, qPrintable(b->objectName()));
        QCOMPARE(Form2->BitBtn4->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(Form2->BitBtn5->text(), QStringLiteral("Полные списки"));
        QCOMPARE(Form2->BitBtn6->text(), QStringLiteral("Связать табл."));
        QCOMPARE(Form2->BitBtn2->text(), QStringLiteral("Весь список"));
        QCOMPARE(Form2->BitBtn3->text(), QStringLiteral("Выход"));
        // "Весь список" belongs to the page, not to the search group it lies over.
        QCOMPARE(Form2->BitBtn2->parentWidget(), Form2->TabSheet1);
        QCOMPARE(Form2->RadioButton1->parentWidget(), Form2->GroupBox1);
    }

    void browserItemsShowTheBrowserWithoutBlocking_data() {
        QTest::addColumn<QString>("item");
        QTest::newRow("Мини Браузер") << "N3";
        QTest::newRow("Мини браузер") << "N16";
    }
    void browserItemsShowTheBrowserWithoutBlocking() {
        QFETCH(QString, item);
        QAction *action = item == QLatin1String("N3") ? Form2->N3 : Form2->N16;
        QVERIFY(!whileModal(
            Form9, [action] { action->trigger(); }, [] {}));
        QVERIFY(Form9->isVisible());
        QVERIFY(Form2->isVisible());
    }

    void exitCommandsEndTheProgram_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("exit button") << "BitBtn3";
        QTest::newRow("context menu Выход") << "N18";
        QTest::newRow("closing the main window") << "close";
    }
    void exitCommandsEndTheProgram() {
        QFETCH(QString, command);
        CloseWatch form1;
        Form1->installEventFilter(&form1);
        int closesByCommand = 0;
        const bool ended = endsTheProgram([&] {
            if (command == QLatin1String("BitBtn3"))
                click(Form2->BitBtn3);
            else if (command == QLatin1String("N18"))
                Form2->N18->trigger();
            else
                Form2->close();
            closesByCommand = form1.closes;
        });
        Form1->removeEventFilter(&form1);
        QVERIFY(ended);
        QCOMPARE(closesByCommand, 1); // the command itself closed the main form
        QVERIFY(boxes().boxes().isEmpty());
    }

    void otherCommandsDoNotEndTheProgram() {
        // The watch itself must be able to say no.
        QVERIFY(!endsTheProgram([] { click(Form2->BitBtn2); }));
        QVERIFY(!endsTheProgram([] { Form2->PageControl1->setCurrentWidget(Form2->TabSheet3); }));
    }
};

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    TestCustomerPage test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_customerpage.moc"
