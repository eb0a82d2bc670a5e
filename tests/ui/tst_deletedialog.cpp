// The delete dialog: its sizes across openings, deleting a customer with all
// of the customer's cars (one confirmation each), a single car, the declined
// confirmations, the full-lists state and the empty lists.
#include "app/DrevalonApplication.h"
#include "data/views/TDBGrid.h"
#include "data/views/TDBNavigator.h"
#include "data/views/TDBText.h"
#include "platform/LabeledEdit.h"
#include "platform/PictureButton.h"
#include "tests/ui/UiKit.h"
#include "ui/dialogs/Unit5.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QToolButton>

using namespace UiKit;

namespace {
QList<QWidget *> expandedControls() {
    return {Form5->DBGrid1, Form5->DBGrid2, Form5->DBNavigator1, Form5->DBNavigator2, Form5->DBText1, Form5->Label1};
}
bool compact() {
    for (QWidget *w : expandedControls())
        if (!w->isHidden())
            return false;
    return !Form5->GroupBox1->isHidden() && Form5->BitBtn3->isHidden() && Form5->BitBtn4->isHidden();
}
bool expanded(bool customerVariant) {
    for (QWidget *w : expandedControls())
        if (w->isHidden())
            return false;
    return Form5->GroupBox1->isHidden() && Form5->BitBtn3->isHidden() == !customerVariant &&
           Form5->BitBtn4->isHidden() == customerVariant && Form5->height() == 720;
}
void clickRow(TDBGrid *grid, int row) {
    const QRect cell = grid->visualRect(grid->model()->index(row, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
}
TDataSet *customers() { return DataModule3->ADOQuery1; }
TDataSet *cars() { return DataModule3->Table1; }
} // namespace

class TestDeleteDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session;
    qint64 ivanov = 0, petrov = 0, sidorov = 0;

    ScriptedMessages &boxes() const { return *session->messages; }
    int confirmations() const { return boxes().texts(QStringLiteral("confirmDelete")).size(); }

    /// The dialog shown without a modal loop, expanded into a variant.
    void openVariant(bool customerVariant) {
        Form5->Show();
        click(customerVariant ? Form5->BitBtn1 : Form5->BitBtn2);
        QVERIFY(expanded(customerVariant));
    }

private slots:
    void init() {
        session = std::make_unique<Session>();
        TestStores &s = session->stores;
        ivanov = s.addCustomer(QStringLiteral("Иван"), QStringLiteral("Иванов"), QStringLiteral("111"));
        petrov = s.addCustomer(QStringLiteral("Пётр"), QStringLiteral("Петров"), QStringLiteral("333"));
        sidorov = s.addCustomer(QStringLiteral("Сидор"), QStringLiteral("Сидоров"), QStringLiteral("555"));
        s.addCar(QStringLiteral("Лада Гранта"), QStringLiteral("XTA219000K0000001"), ivanov);
        s.addCar(QStringLiteral("Нива"), QStringLiteral("XTA212140K0000002"), ivanov);
        s.addCar(QStringLiteral("ГАЗель"), QStringLiteral("X96330200K0000003"), ivanov);
        s.addCar(QStringLiteral("Kia Rio"), QStringLiteral("Z94CB41AAJR000004"), petrov);
        s.addArchived(ivanov, QStringLiteral("NGK"), QStringLiteral("BKR6E"), QStringLiteral("Свеча"), 4, 300,
                      QStringLiteral("2025-12-01"));
        s.addCurrent(ivanov, QStringLiteral("Mann"), QStringLiteral("C 2774"), QStringLiteral("Фильтр"), 1, 800);
        session->start();
    }

    void cleanup() {
        Startup::destroyAll();
        session.reset();
    }

    void listsAndNavigatorsOfTheExpandedMode() {
        QCOMPARE(Form5->GroupBox1->title(), QStringLiteral("Что вы желаете удалить?"));
        QCOMPARE(Form5->DBGrid1->Columns(), (QStringList{"Имя", "Фамилия", "телефон"}));
        QCOMPARE(Form5->DBGrid1->options(), TDBGrid::defaultOptions());
        QCOMPARE(Form5->DBGrid2->Columns(), (QStringList{"Model", "Vin", "DVS", "KPP", "IdCust"}));
        QCOMPARE(Form5->DBGrid2->options(), TDBGrid::defaultOptions() & ~TDBGrid::Options(TDBGrid::dgEditing));
        QCOMPARE(Form5->DBNavigator1->VisibleButtons(),
                 (QList<NavigateBtn>{NavigateBtn::nbFirst, NavigateBtn::nbPrior, NavigateBtn::nbNext,
                                     NavigateBtn::nbLast, NavigateBtn::nbRefresh}));
        QCOMPARE(Form5->DBNavigator2->VisibleButtons(),
                 (QList<NavigateBtn>{NavigateBtn::nbPrior, NavigateBtn::nbNext, NavigateBtn::nbDelete}));
        QCOMPARE(Form5->Label1->text(), QStringLiteral("Номер клиента:"));
        const QString customerHint = QStringLiteral("Удалить клиента и все его данные");
        const QString carHint = QStringLiteral("Удалить выбранную машину у клиента");
        QCOMPARE(Form5->BitBtn1->toolTip(), customerHint);
        QCOMPARE(Form5->BitBtn3->toolTip(), customerHint);
        QCOMPARE(Form5->BitBtn2->toolTip(), carHint);
        QCOMPARE(Form5->BitBtn4->toolTip(), carHint);
        for (PictureButton *b : {Form5->BitBtn1, Form5->BitBtn2, Form5->BitBtn3, Form5->BitBtn4})
            QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
    }

    void sizesAcrossOpenings() {
        QCOMPARE(Form5->windowTitle(), QStringLiteral("Удаление"));
        QCOMPARE(Form5->width(), 449);
        int first = 0, expandedHeight = 0, second = 0;
        bool firstCompact = false, secondCompact = false;
        QVERIFY(whileModal(
            Form5, [] { Form2->N6->trigger(); },
            [&] {
                first = Form5->height();
                firstCompact = compact();
                click(Form5->BitBtn1);
                expandedHeight = Form5->height();
            }));
        QCOMPARE(first, 180);
        QVERIFY(firstCompact);
        QCOMPARE(expandedHeight, 720);
        QCOMPARE(Form5->height(), 211);
        QVERIFY(compact());

        QVERIFY(whileModal(
            Form5, [] { Form2->N6->trigger(); },
            [&] {
                second = Form5->height();
                secondCompact = compact();
                click(Form5->BitBtn2);
                expandedHeight = Form5->height();
            }));
        QCOMPARE(second, 211);
        QVERIFY(secondCompact);
        QCOMPARE(expandedHeight, 720);
        QCOMPARE(Form5->height(), 211);
        QVERIFY(compact());
        QCOMPARE(Form5->width(), 449);
        QVERIFY(boxes().boxes().isEmpty());
    }

    void pageButtonOpensAndResetsTheDialog() {
        retype(Form2->LabeledEdit10, QStringLiteral("742"));
        click(Form2->BitBtn7);
        bool variantShown = false;
        QVERIFY(whileModal(
            Form5, [] { click(Form2->BitBtn11); },
            [&] {
                click(Form5->BitBtn2);
                variantShown = expanded(false);
            }));
        QVERIFY(variantShown);
        QVERIFY(compact());
        QCOMPARE(Form5->height(), 211);
    }

    void customerGoesWithEveryCarOneConfirmationEach() {
        openVariant(true);
        QCOMPARE(Form5->DBText1->Text(), QString::number(ivanov));
        QCOMPARE(Form5->DBGrid2->model()->rowCount(), 3);
        click(Form5->BitBtn3);
        QCOMPARE(confirmations(), 4);
        QCOMPARE(boxes().boxes().size(), 4);
        QCOMPARE(session->cars(QStringLiteral("IdCust = ?"), {ivanov}), 0);
        QCOMPARE(session->count(QStringLiteral("customer"), QStringLiteral("idcust = ?"), {ivanov}), 0);
        // Nobody else's rows, and none of the orders.
        QCOMPARE(session->cars(), 1);
        QCOMPARE(session->count(QStringLiteral("customer")), 2);
        QCOMPARE(session->count(QStringLiteral("orderAll"), QStringLiteral("idcust = ?"), {ivanov}), 1);
        QCOMPARE(session->count(QStringLiteral("orderNow"), QStringLiteral("idcust = ?"), {ivanov}), 1);
        // The next customer is selected, his car shows, and the dialog stays ready.
        QCOMPARE(customers()->FieldByName(QStringLiteral("Номер"))->AsInteger(), petrov);
        QCOMPARE(Form5->DBText1->Text(), QString::number(petrov));
        QVERIFY(Form5->isVisible());
        QVERIFY(expanded(true));
        // The page's lists are the same datasets.
        QCOMPARE(Form2->DBGrid1->model()->rowCount(), 2);
    }

    void customerWithoutCarsAsksOnce() {
        openVariant(true);
        clickRow(Form5->DBGrid1, 2);
        QCOMPARE(Form5->DBText1->Text(), QString());
        click(Form5->BitBtn3);
        QCOMPARE(confirmations(), 1);
        QCOMPARE(boxes().boxes().size(), 1);
        QCOMPARE(session->count(QStringLiteral("customer"), QStringLiteral("idcust = ?"), {sidorov}), 0);
        QCOMPARE(session->count(QStringLiteral("customer")), 2);
        QCOMPARE(session->cars(), 4);
    }

    void declinedCarConfirmationEndsTheCommand() {
        openVariant(true);
        boxes().answer({true, false});
        click(Form5->BitBtn3);
        QCOMPARE(confirmations(), 2); // nothing more is asked after the refusal
        QCOMPARE(boxes().boxes().size(), 2);
        QCOMPARE(session->cars(QStringLiteral("IdCust = ?"), {ivanov}), 2);
        QCOMPARE(session->count(QStringLiteral("customer"), QStringLiteral("idcust = ?"), {ivanov}), 1);
        QCOMPARE(cars()->RecordCount(), 2);
        QVERIFY(Form5->isVisible());
    }

    void refusedCarDeletionEndsTheCommandAndKeepsWhatWasDone() {
        session->stores.carSql(
            QStringLiteral("create trigger keep before delete on drevalonParadox when OLD.Model = 'Нива' "
                           "begin select raise(abort, 'Car is kept'); end"));
        openVariant(true);
        click(Form5->BitBtn3);
        const QStringList errors = boxes().texts(QStringLiteral("error"));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(QStringLiteral("Car is kept")), qPrintable(errors.first()));
        QCOMPARE(confirmations(), 2); // the first car, then the refused one; nothing after
        QCOMPARE(session->cars(QStringLiteral("Model = 'Лада Гранта'")), 0);
        QCOMPARE(session->cars(QStringLiteral("IdCust = ?"), {ivanov}), 2);
        QCOMPARE(session->count(QStringLiteral("customer"), QStringLiteral("idcust = ?"), {ivanov}), 1);
        QVERIFY(Form5->isVisible());
    }

    void declinedCustomerConfirmationKeepsTheCustomer() {
        openVariant(true);
        boxes().answer({true, true, true, false});
        click(Form5->BitBtn3);
        QCOMPARE(confirmations(), 4);
        QCOMPARE(session->cars(QStringLiteral("IdCust = ?"), {ivanov}), 0); // the cars stay deleted
        QCOMPARE(session->count(QStringLiteral("customer"), QStringLiteral("idcust = ?"), {ivanov}), 1);
        QCOMPARE(customers()->FieldByName(QStringLiteral("Номер"))->AsInteger(), ivanov);
    }

    void carVariantDeletesOnlyTheSelectedCar() {
        openVariant(false);
        clickRow(Form5->DBGrid2, 1);
        QCOMPARE(cars()->FieldByName(QStringLiteral("Model"))->AsString().trimmed(), QStringLiteral("Нива"));
        click(Form5->BitBtn4);
        QCOMPARE(confirmations(), 1);
        QCOMPARE(session->cars(QStringLiteral("Model = 'Нива'")), 0);
        QCOMPARE(session->cars(), 3);
        QCOMPARE(session->count(QStringLiteral("customer")), 3);
        // Declined: nothing goes.
        boxes().answer({false});
        click(Form5->BitBtn4);
        QCOMPARE(confirmations(), 2);
        QCOMPARE(session->cars(), 3);
        QVERIFY(expanded(false));
    }

    void carNavigatorDeletesTheSelectedCarInEitherVariant_data() {
        QTest::addColumn<bool>("customerVariant");
        QTest::newRow("customer variant") << true;
        QTest::newRow("car variant") << false;
    }
    void carNavigatorDeletesTheSelectedCarInEitherVariant() {
        QFETCH(bool, customerVariant);
        openVariant(customerVariant);
        QTest::mouseClick(Form5->DBNavigator2->button(NavigateBtn::nbDelete), Qt::LeftButton);
        QCOMPARE(confirmations(), 1);
        QCOMPARE(session->cars(QStringLiteral("IdCust = ?"), {ivanov}), 2);
        QCOMPARE(session->count(QStringLiteral("customer")), 3);
    }

    void carVariantWithNoCarSaysSo() {
        openVariant(false);
        clickRow(Form5->DBGrid1, 2); // Sidorov has no car
        click(Form5->BitBtn4);
        QCOMPARE(boxes().texts(QStringLiteral("information")), QStringList{QStringLiteral("Нет данных для удаления!")});
        QCOMPARE(boxes().boxes().size(), 1);
        QCOMPARE(session->cars(), 4);
        QCOMPARE(session->count(QStringLiteral("customer")), 3);
    }

    void customerDeletionInTheFullListsStateTouchesOnlyThatCustomersCars() {
        Form2->BitBtn5Click();
        QCOMPARE(cars()->RecordCount(), 4);
        openVariant(true);
        clickRow(Form5->DBGrid1, 1); // Petrov; the car list still starts with Ivanov's cars
        QCOMPARE(customers()->FieldByName(QStringLiteral("Номер"))->AsInteger(), petrov);
        QCOMPARE(Form5->DBText1->Text(), QString::number(ivanov));
        click(Form5->BitBtn3);
        QCOMPARE(confirmations(), 2);
        QCOMPARE(session->cars(QStringLiteral("IdCust = ?"), {petrov}), 0);
        QCOMPARE(session->cars(QStringLiteral("IdCust = ?"), {ivanov}), 3);
        QCOMPARE(session->count(QStringLiteral("customer"), QStringLiteral("idcust = ?"), {petrov}), 0);
        QCOMPARE(session->count(QStringLiteral("customer")), 2);

        // A customer without cars, while every other customer's cars are listed.
        clickRow(Form5->DBGrid1, 1); // Sidorov
        QCOMPARE(customers()->FieldByName(QStringLiteral("Номер"))->AsInteger(), sidorov);
        click(Form5->BitBtn3);
        QCOMPARE(confirmations(), 3);
        QCOMPARE(session->cars(), 3);
        QCOMPARE(session->count(QStringLiteral("customer")), 1);
        QVERIFY(boxes().texts(QStringLiteral("error")).isEmpty());
    }

    void customerVariantWithTheCustomerListClosedDeletesNoCar() {
        // The database is gone at start-up: the customer list stays closed, so the
        // car list is not restricted to anybody and shows every car.
        Startup::destroyAll();
        StoreSettings settings = session->stores.settings();
        settings.database += QStringLiteral(".missing");
        Startup::createAll(settings);
        QVERIFY(!customers()->Active());
        QCOMPARE(cars()->RecordCount(), 4);
        boxes().clear();
        openVariant(true);
        QVERIFY(!Form5->DBText1->Text().isEmpty());
        click(Form5->BitBtn3);
        QCOMPARE(session->cars(), 4);
        QCOMPARE(confirmations(), 0);
        QVERIFY2(boxes().boxes().isEmpty(), qPrintable(boxes().texts(QStringLiteral("error")).join(QLatin1Char('\n'))));
    }

    void customerVariantOverAnEmptyListAsksThenReportsTheEmptyDataset() {
        click(Form2->RadioButton2);
        retype(Form2->LabeledEdit1, QStringLiteral("Никто"));
        click(Form2->BitBtn1);
        QCOMPARE(customers()->RecordCount(), 0);
        openVariant(true);
        QCOMPARE(Form5->DBText1->Text(), QString());
        click(Form5->BitBtn3);
        QCOMPARE(confirmations(), 1);
        QCOMPARE(boxes().texts(QStringLiteral("error")),
                 QStringList{QStringLiteral("ADOQuery1: Cannot perform this operation on an empty dataset.")});
        QCOMPARE(boxes().boxes().size(), 2);
        QCOMPARE(session->count(QStringLiteral("customer")), 3);
        QCOMPARE(session->cars(), 4);
        QVERIFY(expanded(true));
    }
};

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    TestDeleteDialog test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_deletedialog.moc"
