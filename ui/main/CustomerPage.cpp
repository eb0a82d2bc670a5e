// The customer page: customers with their cars and archived orders, the search,
// the full and linked lists, the edit group and its commit.
#include "data/StatementSlots.h"
#include "data/Unit3.h"
#include "data/datasets/SqlLiteral.h"
#include "data/views/TDBEdit.h"
#include "data/views/TDBNavigator.h"
#include "data/views/ViewFactory.h"
#include "platform/LabeledEdit.h"
#include "platform/PictureButton.h"
#include "ui/dialogs/Unit4.h"
#include "ui/dialogs/Unit5.h"
#include "ui/main/Unit2.h"

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

namespace {
QLabel *label(QWidget *parent, const QString &text, const QPoint &at) {
    auto *l = new QLabel(text, parent);
    l->move(at);
    l->adjustSize();
    return l;
}

QGroupBox *groupBox(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry) {
    auto *box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}
} // namespace

void TForm2::buildCustomerPage() {
    QWidget *page = TabSheet1;
    BitBtn5 = PictureButton::place(page, QStringLiteral("BitBtn5"), QStringLiteral("Полные списки"),
                                   QRect(330, 10, 160, 39), true);
    BitBtn6 = PictureButton::place(page, QStringLiteral("BitBtn6"), QStringLiteral("Связать табл."),
                                   QRect(500, 10, 160, 39), true);
    LabeledEdit10 = new LabeledEdit(QStringLiteral("LabeledEdit10"), QStringLiteral("Введите пароль"), page);
    LabeledEdit10->setGeometry(920, 26, 121, 21);
    LabeledEdit10->setPasswordChar(QLatin1Char('5'));
    BitBtn7 =
        PictureButton::place(page, QStringLiteral("BitBtn7"), QStringLiteral("OK"), QRect(1050, 10, 73, 39), true);

    DBNavigator1 = Views::navigator(
        page, QStringLiteral("DBNavigator1"), QStringLiteral("DataSource1"),
        {NavigateBtn::nbFirst, NavigateBtn::nbPrior, NavigateBtn::nbNext, NavigateBtn::nbLast, NavigateBtn::nbRefresh},
        QPoint(8, 56), 210);
    DBGrid1 = Views::grid(
        page, QStringLiteral("DBGrid1"), QStringLiteral("DataSource1"),
        {QStringLiteral("Имя"), QStringLiteral("Фамилия"), QStringLiteral("телефон"), QStringLiteral("Доп.телефон")},
        false, QRect(8, 84, 529, 393));
    DBGrid3 = Views::grid(page, QStringLiteral("DBGrid3"), QStringLiteral("DataSource2"),
                          {QStringLiteral("Model"), QStringLiteral("Vin"), QStringLiteral("DVS"), QStringLiteral("KPP"),
                           QStringLiteral("IdCust")},
                          false, QRect(548, 84, 713, 169));

    // The edit group, shown once the lock is open.
    GroupBox4 =
        groupBox(page, QStringLiteral("GroupBox4"), QStringLiteral("Изменение данных"), QRect(548, 266, 473, 201));
    label(GroupBox4, QStringLiteral("Данные клиента"), QPoint(10, 20));
    label(GroupBox4, QStringLiteral("Данные машины"), QPoint(10, 88));
    const QStringList customerLabels = {QStringLiteral("Имя"), QStringLiteral("Фамилия"), QStringLiteral("Телефон"),
                                        QStringLiteral("Доп.телефон")};
    const QStringList customerFields = {QStringLiteral("Имя"), QStringLiteral("Фамилия"), QStringLiteral("телефон"),
                                        QStringLiteral("Доп.телефон")};
    const QStringList carLabels = {QStringLiteral("Мoдель"), QStringLiteral("Vin"), QStringLiteral("ДВС"),
                                   QStringLiteral("КПП")};
    const QStringList carFields = {QStringLiteral("Model"), QStringLiteral("Vin"), QStringLiteral("DVS"),
                                   QStringLiteral("KPP")};
    TDBEdit **customerEdits[] = {&DBEdit1, &DBEdit2, &DBEdit3, &DBEdit4};
    TDBEdit **carEdits[] = {&DBEdit5, &DBEdit6, &DBEdit7, &DBEdit8};
    // Created row by row, so Tab runs along the customer's row, then the car's.
    for (int i = 0; i < 4; ++i) {
        const int x = 10 + i * 114;
        QLabel *caption = label(GroupBox4, customerLabels[i], QPoint(x, 38));
        *customerEdits[i] = Views::edit(GroupBox4, QStringLiteral("DBEdit%1").arg(i + 1), QStringLiteral("DataSource1"),
                                        customerFields[i], QRect(x, 54, 108, 21));
        caption->setBuddy(*customerEdits[i]);
    }
    for (int i = 0; i < 4; ++i) {
        const int x = 10 + i * 114;
        QLabel *caption = label(GroupBox4, carLabels[i], QPoint(x, 106));
        *carEdits[i] = Views::edit(GroupBox4, QStringLiteral("DBEdit%1").arg(i + 5), QStringLiteral("DataSource2"),
                                   carFields[i], QRect(x, 122, 108, 21));
        caption->setBuddy(*carEdits[i]);
    }
    BitBtn4 = new PictureButton(QStringLiteral("BitBtn4"), QStringLiteral("OK"), GroupBox4);
    BitBtn4->setGeometry(188, 154, 97, 39); // the commit button keeps the arrow cursor
    GroupBox4->hide();

    // The search group.
    GroupBox1 = groupBox(page, QStringLiteral("GroupBox1"), QStringLiteral("Поиск по таблице клиентов"),
                         QRect(1036, 266, 225, 265));
    LabeledEdit1 = new LabeledEdit(QStringLiteral("LabeledEdit1"), QStringLiteral("Введите данные"), GroupBox1);
    LabeledEdit1->setGeometry(16, 44, 193, 21);
    RadioGroup1 =
        groupBox(GroupBox1, QStringLiteral("RadioGroup1"), QStringLiteral("Критерии поиска"), QRect(16, 74, 193, 100));
    RadioButton1 = new QRadioButton(QStringLiteral("По имени"), GroupBox1);
    RadioButton2 = new QRadioButton(QStringLiteral("По фамилии"), GroupBox1);
    RadioButton3 = new QRadioButton(QStringLiteral("По телефону"), GroupBox1);
    QRadioButton *radios[] = {RadioButton1, RadioButton2, RadioButton3};
    for (int i = 0; i < 3; ++i) {
        radios[i]->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
        radios[i]->setGeometry(32, 96 + i * 24, 160, 20);
        radios[i]->setCursor(Qt::PointingHandCursor);
        radios[i]->raise();
    }
    BitBtn1 = PictureButton::place(GroupBox1, QStringLiteral("BitBtn1"), QStringLiteral("Поиск"),
                                   QRect(56, 184, 113, 39), true);
    // "Весь список" belongs to the page and lies over the bottom of the group's frame.
    BitBtn2 = PictureButton::place(page, QStringLiteral("BitBtn2"), QStringLiteral("Весь список"),
                                   QRect(1092, 508, 113, 39), true);

    BitBtn8 = PictureButton::place(page, QStringLiteral("BitBtn8"), QStringLiteral("Добавить клиента"),
                                   QRect(1044, 566, 209, 39), true);
    BitBtn9 = PictureButton::place(page, QStringLiteral("BitBtn9"), QStringLiteral("Добавить машину"),
                                   QRect(1044, 612, 209, 39), true);
    BitBtn11 = PictureButton::place(page, QStringLiteral("BitBtn11"), QStringLiteral("Удаление"),
                                    QRect(1044, 658, 209, 39), true);
    for (PictureButton *locked : {BitBtn8, BitBtn9, BitBtn11})
        locked->hide();

    Label1 = new QLabel(QStringLiteral("Архив заказов данного клиента"), page);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(8, 484);
    Label1->adjustSize();
    DBGrid4 = Views::grid(page, QStringLiteral("DBGrid4"), QStringLiteral("DataSource3"),
                          {QStringLiteral("Firm"), QStringLiteral("number"), QStringLiteral("description"),
                           QStringLiteral("Kol"), QStringLiteral("cena"), QStringLiteral("Date")},
                          false, QRect(8, 502, 929, 393));

    wire(BitBtn1, &PictureButton::clicked, &TForm2::BitBtn1Click);
    wire(BitBtn2, &PictureButton::clicked, &TForm2::BitBtn2Click);
    wire(BitBtn4, &PictureButton::clicked, &TForm2::BitBtn4Click);
    wire(BitBtn5, &PictureButton::clicked, &TForm2::BitBtn5Click);
    wire(BitBtn6, &PictureButton::clicked, &TForm2::BitBtn6Click);
    wire(BitBtn7, &PictureButton::clicked, &TForm2::BitBtn7Click);
    wire(BitBtn8, &PictureButton::clicked, &TForm2::BitBtn8Click);
    wire(BitBtn9, &PictureButton::clicked, &TForm2::BitBtn9Click);
    wire(BitBtn11, &PictureButton::clicked, &TForm2::BitBtn11Click);
    // What a screen reader says for the controls without a caption of their own.
    DBGrid1->setAccessibleName(QStringLiteral("Список клиентов"));
    DBGrid3->setAccessibleName(QStringLiteral("Машины клиента"));
    DBGrid4->setAccessibleName(QStringLiteral("Архив заказов данного клиента"));
}

void TForm2::BitBtn1Click() {
    TADOQuery *customers = DataModule3->ADOQuery1;
    customers->Close();
    // The typed text is one quoted literal: quotes in it can never end it.
    const QString text = sqlLiteralBody(LabeledEdit1->text());
    if (RadioButton1->isChecked())
        customers->SQL().setLine(StatementSlots::customerFilter,
                                 QStringLiteral("where Name='") + text + QStringLiteral("'"));
    if (RadioButton2->isChecked())
        customers->SQL().setLine(StatementSlots::customerFilter,
                                 QStringLiteral("where Lmane='") + text + QStringLiteral("'"));
    if (RadioButton3->isChecked())
        customers->SQL().setLine(StatementSlots::customerFilter, QStringLiteral("where Phone='") + text +
                                                                     QStringLiteral("' or Phone2='") + text +
                                                                     QStringLiteral("'"));
    customers->Open();
}

void TForm2::BitBtn2Click() {
    TADOQuery *customers = DataModule3->ADOQuery1;
    customers->Close();
    customers->SQL().setLine(StatementSlots::customerFilter, QStringLiteral(" "));
    customers->Open();
}

void TForm2::BitBtn5Click() {
    TDataModule3 *dm = DataModule3;
    dm->ADOQuery1->Close();
    dm->Table1->Close();
    dm->ADOTable1->Close();
    dm->ADOTable1->setMasterFields(QString());
    dm->Table1->setMasterFields(QString());
    dm->ADOQuery1->SQL().setLine(StatementSlots::customerFilter, QStringLiteral(" "));
    dm->ADOQuery1->Open();
    dm->ADOTable1->Open();
    dm->Table1->Open();
}

void TForm2::BitBtn6Click() {
    TDataModule3 *dm = DataModule3;
    dm->ADOTable1->setMasterFields(QStringLiteral("Номер"));
    dm->ADOTable1->setMasterSource(dm->DataSource1);
    dm->Table1->setMasterFields(QStringLiteral("Номер"));
    dm->Table1->setMasterSource(dm->DataSource1);
}

void TForm2::BitBtn4Click() {
    DBNavigator1->ActivateButton(NavigateBtn::nbRefresh);
    DataModule3->ADOQuery1->Close();
    DataModule3->ADOQuery1->Open();
    DataModule3->Table1->Close();
    DataModule3->Table1->Open();
}

void TForm2::BitBtn8Click() {
    Form4->GroupBox1->hide();
    Form4->GroupBox2->show();
    Form4->ShowModal();
}

void TForm2::BitBtn9Click() {
    Form4->GroupBox1->show();
    Form4->GroupBox2->hide();
    Form4->ShowModal();
}

void TForm2::BitBtn11Click() {
    Form5->ShowModal();
    Form5->restoreCompactMode();
}
