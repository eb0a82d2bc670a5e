// The add dialog: a customer and then the customer's car entered as a user
// enters them, the question in between, the required fields, the store's
// refusals, and the mode each opener sets.
#include "app/DrevalonApplication.h"
#include "data/views/TDBGrid.h"
#include "data/views/TDBText.h"
#include "platform/LabeledEdit.h"
#include "platform/PictureButton.h"
#include "tests/ui/UiKit.h"
#include "ui/dialogs/Unit4.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

using namespace UiKit;

namespace {
const QString addedQuestion = QStringLiteral("Клиент успешно добавлен! Желаете добавить данные автомобиля?");
const QString rememberCustomer = QStringLiteral("Не забывайте указывать клиента!");
const QString customerGone = QStringLiteral("Этого клиента уже нет в базе! Выберите другого клиента.");

QList<LabeledEdit *> customerFields() {
    return {Form4->LabeledEdit1, Form4->LabeledEdit2, Form4->LabeledEdit3, Form4->LabeledEdit4};
}
QList<LabeledEdit *> carFields() {
    return {Form4->LabeledEdit5, Form4->LabeledEdit6, Form4->LabeledEdit7, Form4->LabeledEdit8};
}
void fill(const QList<LabeledEdit *> &fields, const QStringList &texts) {
    for (int i = 0; i < fields.size(); ++i)
        retype(fields[i], texts[i]);
}
QStringList texts(const QList<LabeledEdit *> &fields) {
    QStringList out;
    for (LabeledEdit *f : fields)
        out << f->text();
    return out;
}
bool customerMode() { return !Form4->GroupBox2->isHidden() && Form4->GroupBox1->isHidden(); }
bool carMode() { return Form4->GroupBox2->isHidden() && !Form4->GroupBox1->isHidden(); }

void clickRow(TDBGrid *grid, int row) {
    const QRect cell = grid->visualRect(grid->model()->index(row, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
}
} // namespace

class TestAddDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session;
    qint64 ivanov = 0, petrov = 0;

    ScriptedMessages &boxes() const { return *session->messages; }
    QStringList kinds() const {
        QStringList out;
        for (const ScriptedMessages::Box &box : boxes().boxes())
            out << box.kind;
        return out;
    }
    void showInMode(bool car) {
        Form4->GroupBox1->setVisible(car);
        Form4->GroupBox2->setVisible(!car);
        Form4->Show();
    }
    void searchSurname(const QString &surname) {
        click(Form2->RadioButton2);
        retype(Form2->LabeledEdit1, surname);
        click(Form2->BitBtn1);
    }

private slots:
    void init() {
        session = std::make_unique<Session>();
        ivanov = session->stores.addCustomer(QStringLiteral("Иван"), QStringLiteral("Иванов"), QStringLiteral("111"));
        petrov = session->stores.addCustomer(QStringLiteral("Пётр"), QStringLiteral("Петров"), QStringLiteral("333"));
        session->start();
    }

    void cleanup() {
        Startup::destroyAll();
        session.reset();
    }

    void layoutOfTheTwoModes() {
        QCOMPARE(Form4->windowTitle(), QStringLiteral("Добавить клиента"));
        QVERIFY(customerMode()); // the initial layout
        QCOMPARE(Form4->GroupBox2->title(), QStringLiteral("Данные клиента"));
        QCOMPARE(Form4->GroupBox1->title(), QStringLiteral("Данные машины"));
        QStringList labels;
        for (LabeledEdit *f : customerFields() + carFields())
            labels << f->EditLabel()->text();
        QCOMPARE(labels, (QStringList{"Имя", "Фамилия*", "Телефон*", "Доп.телефон", "Модель*", "Vin*", "ДВС", "КПП"}));
        // The customer list shows every field of the customer query and edits in its cells.
        QVERIFY(Form4->DBGrid1->Columns().isEmpty());
        QStringList headers;
        for (int c = 0; c < Form4->DBGrid1->model()->columnCount(); ++c)
            headers << Form4->DBGrid1->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, (QStringList{"Номер", "Имя", "Фамилия", "телефон", "Доп.телефон"}));
        QCOMPARE(Form4->DBGrid1->options(), TDBGrid::defaultOptions());
        QCOMPARE(Form4->Label1->text(), QStringLiteral("Идентификационный номер клиента:"));
        QCOMPARE(Form4->DBText1->Text(), QString::number(ivanov));
        for (PictureButton *b : {Form4->BitBtn1, Form4->BitBtn2}) {
            QCOMPARE(b->text(), QStringLiteral("Добавить"));
            QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
        }
    }

    void customerThenCarThroughYes() {
        showInMode(false);
        fill(customerFields(), {"Д'Артаньян", "О'Коннор", "8900111'223", ""});
        click(Form4->BitBtn2);

        QCOMPARE(kinds(), (QStringList{"confirm", "information"}));
        QCOMPARE(boxes().texts(QStringLiteral("confirm")), QStringList{addedQuestion});
        QCOMPARE(boxes().texts(QStringLiteral("information")), QStringList{rememberCustomer});
        // Stored exactly as typed, the empty second phone as an empty value.
        QCOMPARE(session->count(QStringLiteral("customer")), 3);
        const qint64 added = session->stores.scalar(QStringLiteral("select max(idcust) from customer")).toLongLong();
        QCOMPARE(session->count(
                     QStringLiteral("customer"),
                     QStringLiteral("idcust = ? and rtrim(Name) = ? and rtrim(lmane) = ? and rtrim(phone) = ? "
                                    "and phone2 is not null and rtrim(phone2) = ''"),
                     {added, QStringLiteral("Д'Артаньян"), QStringLiteral("О'Коннор"), QStringLiteral("8900111'223")}),
                 1);
        // The list was re-read and sits on its first customer; the dialog is now in car mode.
        QCOMPARE(DataModule3->ADOQuery1->RecordCount(), 3);
        QCOMPARE(DataModule3->ADOQuery1->RecNo(), 0);
        QCOMPARE(Form4->DBGrid1->model()->rowCount(), 3);
        QVERIFY(Form4->isVisible());
        QVERIFY(carMode());
        QCOMPARE(Form4->windowTitle(), QStringLiteral("Добавить клиента"));
        QCOMPARE(texts(customerFields()), QStringList(4, QString()));
        QCOMPARE(Form4->DBText1->Text(), QString::number(ivanov));

        // The car goes to whichever customer the list shows selected.
        clickRow(Form4->DBGrid1, 2);
        QCOMPARE(Form4->DBText1->Text(), QString::number(added));
        boxes().clear();
        fill(carFields(), {"ВАЗ 'Нива'", "XTA21214'K000001", "1.7", ""});
        click(Form4->BitBtn1);
        QVERIFY(boxes().boxes().isEmpty());
        QCOMPARE(session->cars(), 1);
        QCOMPARE(session->cars(
                     QStringLiteral("IdCust = ? and Model = ? and Vin = ? and DVS = ? and KPP = ''"),
                     {added, QStringLiteral("ВАЗ 'Нива'"), QStringLiteral("XTA21214'K000001"), QStringLiteral("1.7")}),
                 1);
        const QString owner =
            session->stores.carScalar(QStringLiteral("select typeof(IdCust) from drevalonParadox")).toString();
        QVERIFY2(owner == QLatin1String("real") || owner == QLatin1String("integer"), qPrintable(owner));
        // Closed by itself, back in customer mode for the next opening, fields cleared.
        QVERIFY(!Form4->isVisible());
        QVERIFY(customerMode());
        QCOMPARE(texts(carFields()), QStringList(4, QString()));
    }

    void customerWithoutCarThroughNo() {
        showInMode(false);
        fill(customerFields(), {"", "Сидоров", "555", ""});
        boxes().answer({false});
        click(Form4->BitBtn2);
        QCOMPARE(boxes().texts(QStringLiteral("confirm")), QStringList{addedQuestion});
        QCOMPARE(boxes().boxes().size(), 1);
        QVERIFY(!Form4->isVisible());
        QVERIFY(customerMode());
        QCOMPARE(texts(customerFields()), QStringList(4, QString()));
        QCOMPARE(session->count(
                     QStringLiteral("customer"),
                     QStringLiteral("Name is not null and rtrim(Name) = '' and lmane = 'Сидоров' and phone = '555'")),
                 1);
        QCOMPARE(DataModule3->ADOQuery1->RecordCount(), 3);
    }

    void customerInsertKeepsTheSearchConditionInForce() {
        searchSurname(QStringLiteral("Петров"));
        QCOMPARE(DataModule3->ADOQuery1->RecordCount(), 1);
        showInMode(false);
        fill(customerFields(), {"Олег", "Новиков", "777", "888"});
        click(Form4->BitBtn2);
        QCOMPARE(session->count(QStringLiteral("customer"), QStringLiteral("lmane = 'Новиков' and phone2 = '888'")), 1);
        // The new customer is not in a list restricted to Petrov; the car would go to Petrov.
        QCOMPARE(DataModule3->ADOQuery1->RecordCount(), 1);
        QCOMPARE(Form4->DBText1->Text(), QString::number(petrov));
        QVERIFY(carMode());
    }

    void requiredCustomerFields_data() {
        QTest::addColumn<QString>("surname");
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("both empty") << ""
                                    << "" << QStringList{"Введите фамилию!", "Введите Номер телефона!"};
        QTest::newRow("surname empty") << ""
                                       << "777" << QStringList{"Введите фамилию!"};
        QTest::newRow("phone empty") << "Новиков"
                                     << "" << QStringList{"Введите Номер телефона!"};
    }
    void requiredCustomerFields() {
        QFETCH(QString, surname);
        QFETCH(QString, phone);
        QFETCH(QStringList, messages);
        showInMode(false);
        const QStringList typed = {"Олег", surname, phone, "888"};
        fill(customerFields(), typed);
        click(Form4->BitBtn2);
        QCOMPARE(boxes().texts(QStringLiteral("information")), messages);
        QCOMPARE(boxes().boxes().size(), messages.size()); // no question
        QCOMPARE(session->count(QStringLiteral("customer")), 2);
        QCOMPARE(texts(customerFields()), typed);
        QVERIFY(Form4->isVisible());
        QVERIFY(customerMode());
    }

    void requiredCarFields_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("vin");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("both empty") << ""
                                    << "" << QStringList{"Марку и модель авто!", "Введите VIN автомобиля!"};
        QTest::newRow("model empty") << ""
                                     << "VIN1" << QStringList{"Марку и модель авто!"};
        QTest::newRow("VIN empty") << "Нива"
                                   << "" << QStringList{"Введите VIN автомобиля!"};
    }
    void requiredCarFields() {
        QFETCH(QString, model);
        QFETCH(QString, vin);
        QFETCH(QStringList, messages);
        showInMode(true);
        const QStringList typed = {model, vin, "1.7", "МКПП"};
        fill(carFields(), typed);
        click(Form4->BitBtn1);
        QCOMPARE(boxes().texts(QStringLiteral("information")), messages);
        QCOMPARE(boxes().boxes().size(), messages.size());
        QCOMPARE(session->cars(), 0);
        QCOMPARE(texts(carFields()), typed);
        QVERIFY(Form4->isVisible());
        QVERIFY(carMode());
    }

    void valueTooLongForTheStoreIsRefusedAndKept() {
        showInMode(false);
        const QStringList customer = {"Олег", "Константинопольс", "777", ""}; // 16 letters, the column holds 15
        fill(customerFields(), customer);
        QCOMPARE(Form4->LabeledEdit2->text().size(), 16); // the field itself sets no limit
        click(Form4->BitBtn2);
        QStringList errors = boxes().texts(QStringLiteral("error"));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(QStringLiteral("truncated")), qPrintable(errors.first()));
        QCOMPARE(boxes().boxes().size(), 1); // no question after a refusal
        QCOMPARE(session->count(QStringLiteral("customer")), 2);
        QCOMPARE(texts(customerFields()), customer);
        QVERIFY(Form4->isVisible());
        QVERIFY(customerMode());

        boxes().clear();
        showInMode(true);
        const QStringList car = {"Toyota Land Cruiser Prado 150 X", "JTEBU3FJ10K000001", "",
                                 ""}; // 31, the column holds 30
        fill(carFields(), car);
        click(Form4->BitBtn1);
        errors = boxes().texts(QStringLiteral("error"));
        QCOMPARE(errors.size(), 1);
        QCOMPARE(boxes().boxes().size(), 1);
        QCOMPARE(session->cars(), 0);
        QCOMPARE(texts(carFields()), car);
        QVERIFY(Form4->isVisible());
        QVERIFY(carMode());
    }

    void carWithNoCustomerListedIsNotAdded() {
        searchSurname(QStringLiteral("Никто"));
        QCOMPARE(DataModule3->ADOQuery1->RecordCount(), 0);
        showInMode(true);
        QCOMPARE(Form4->DBText1->Text(), QString());
        const QStringList car = {"Нива", "XTA212140K0000002", "", ""};
        fill(carFields(), car);
        click(Form4->BitBtn1);
        QCOMPARE(boxes().texts(QStringLiteral("information")).size(), 1);
        QCOMPARE(boxes().boxes().size(), 1);
        QCOMPARE(session->cars(), 0);
        QCOMPARE(texts(carFields()), car);
        QVERIFY(Form4->isVisible());
    }

    void carForACustomerDeletedElsewhereIsNotAdded() {
        showInMode(true);
        QCOMPARE(Form4->DBText1->Text(), QString::number(ivanov));
        // Another workstation deletes the customer; this list still shows him.
        session->stores.sql(QStringLiteral("delete from customer where idcust = ?"), {ivanov});
        const QStringList car = {"Нива", "XTA212140K0000004", "1.7", "МКПП"};
        fill(carFields(), car);
        click(Form4->BitBtn1);
        QCOMPARE(kinds(), QStringList{"information"});
        QCOMPARE(boxes().texts(QStringLiteral("information")), QStringList{customerGone});
        QCOMPARE(session->cars(), 0);
        QCOMPARE(texts(carFields()), car);
        QVERIFY(Form4->isVisible());
        QVERIFY(carMode());
    }

    void carButtonAttachesToTheCustomerSelectedOnThePage() {
        retype(Form2->LabeledEdit10, QStringLiteral("742"));
        click(Form2->BitBtn7);
        QVERIFY(Form2->BitBtn9->isVisible());
        clickRow(Form2->DBGrid1, 1);
        QString shown;
        bool inCarMode = false;
        QVERIFY(whileModal(
            Form4, [] { click(Form2->BitBtn9); },
            [&] {
                inCarMode = carMode();
                shown = Form4->DBText1->Text();
                fill(carFields(), {"Kia Rio", "Z94CB41AAJR000003", "", ""});
                click(Form4->BitBtn1);
            }));
        QVERIFY(inCarMode);
        QCOMPARE(shown, QString::number(petrov));
        QCOMPARE(session->cars(QStringLiteral("IdCust = ? and Model = 'Kia Rio'"), {petrov}), 1);
        QCOMPARE(session->cars(), 1);
        QVERIFY(!Form4->isVisible());
        QVERIFY(boxes().boxes().isEmpty());
    }

    void customerOpenersAlwaysShowCustomerModeAndKeepUnaddedTexts_data() {
        QTest::addColumn<bool>("throughMenu");
        QTest::newRow("Добавить клиента button") << false;
        QTest::newRow("menu Добавить") << true;
    }
    void customerOpenersAlwaysShowCustomerModeAndKeepUnaddedTexts() {
        QFETCH(bool, throughMenu);
        retype(Form2->LabeledEdit10, QStringLiteral("742"));
        click(Form2->BitBtn7);
        // Left in car mode through the close box, with texts typed and not added.
        QVERIFY(whileModal(
            Form4, [] { click(Form2->BitBtn9); },
            [] {
                retype(Form4->LabeledEdit5, QStringLiteral("Нива"));
                Form4->Close();
            }));
        QVERIFY(carMode());
        bool opensInCustomerMode = false;
        QString keptModel;
        QVERIFY(whileModal(
            Form4, [throughMenu] { throughMenu ? Form2->N5->trigger() : click(Form2->BitBtn8); },
            [&] {
                opensInCustomerMode = customerMode() && Form4->isVisible();
                keptModel = Form4->LabeledEdit5->text();
            }));
        QVERIFY(opensInCustomerMode);
        QCOMPARE(keptModel, QStringLiteral("Нива"));
        QVERIFY(boxes().boxes().isEmpty());
    }
};

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    TestAddDialog test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_adddialog.moc"
