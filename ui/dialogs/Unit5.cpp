#include "ui/dialogs/Unit5.h"
#include "data/Unit3.h"
#include "data/views/TDBNavigator.h"
#include "data/views/TDBText.h"
#include "data/views/ViewFactory.h"
#include "platform/BackgroundImage.h"
#include "platform/ErrorFunnel.h"
#include "platform/MessageBoxes.h"
#include "platform/PictureButton.h"
#include "platform/WhiteGroupBox.h"

#include <QGroupBox>
#include <QLabel>

TForm5 *Form5 = nullptr;

namespace {
PictureButton *deleteButton(QWidget *parent, const QString &name, const QString &label, const QString &hint,
                            const QRect &geometry) {
    auto *button = new PictureButton(name, label, parent);
    button->setGeometry(geometry);
    button->setHandCursor(true);
    button->setToolTip(hint);
    return button;
}

const QString customerHint = QStringLiteral("Удалить клиента и все его данные");
const QString carHint = QStringLiteral("Удалить выбранную машину у клиента");
} // namespace

TForm5::TForm5(QWidget *parent) : FormWindow(QStringLiteral("Form5"), QStringLiteral("Удаление"), parent) {
    fixSize(449, 180);
    move(305, 142);
    new BackgroundImage(QStringLiteral("Image1"), this);

    GroupBox1 = new WhiteGroupBox(QStringLiteral("GroupBox1"), QStringLiteral("Что вы желаете удалить?"), this);
    GroupBox1->setGeometry(36, 24, 377, 113);
    BitBtn1 = deleteButton(GroupBox1, QStringLiteral("BitBtn1"), QStringLiteral("Удалить клиента"), customerHint,
                           QRect(84, 22, 209, 39));
    BitBtn2 = deleteButton(GroupBox1, QStringLiteral("BitBtn2"), QStringLiteral("Удалить авто"), carHint,
                           QRect(84, 66, 209, 39));

    DBNavigator1 = Views::navigator(
        this, QStringLiteral("DBNavigator1"), QStringLiteral("DataSource1"),
        {NavigateBtn::nbFirst, NavigateBtn::nbPrior, NavigateBtn::nbNext, NavigateBtn::nbLast, NavigateBtn::nbRefresh},
        QPoint(200, 8), 225);
    DBGrid1 = Views::grid(this, QStringLiteral("DBGrid1"), QStringLiteral("DataSource1"),
                          {QStringLiteral("Имя"), QStringLiteral("Фамилия"), QStringLiteral("телефон")}, true,
                          QRect(16, 36, 409, 297));
    Label1 = new QLabel(QStringLiteral("Номер клиента:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(16, 346);
    Label1->adjustSize();
    DBText1 = Views::label(this, QStringLiteral("DBText1"), QStringLiteral("DataSource2"), QStringLiteral("IdCust"),
                           QRect(Label1->geometry().right() + 8, 346, 70, Label1->height()));
    DBNavigator2 =
        Views::navigator(this, QStringLiteral("DBNavigator2"), QStringLiteral("DataSource2"),
                         {NavigateBtn::nbPrior, NavigateBtn::nbNext, NavigateBtn::nbDelete}, QPoint(203, 340), 222);
    DBGrid2 = Views::grid(this, QStringLiteral("DBGrid2"), QStringLiteral("DataSource2"),
                          {QStringLiteral("Model"), QStringLiteral("Vin"), QStringLiteral("DVS"), QStringLiteral("KPP"),
                           QStringLiteral("IdCust")},
                          false, QRect(16, 372, 409, 217));
    BitBtn3 = deleteButton(this, QStringLiteral("BitBtn3"), QStringLiteral("Удалить клиента"), customerHint,
                           QRect(116, 600, 209, 39));
    BitBtn4 = deleteButton(this, QStringLiteral("BitBtn4"), QStringLiteral("Удалить авто"), carHint,
                           QRect(116, 646, 209, 39));
    for (QWidget *w : std::initializer_list<QWidget *>{DBNavigator1, DBGrid1, Label1, DBText1, DBNavigator2, DBGrid2,
                                                       BitBtn3, BitBtn4})
        w->hide();

    ErrorFunnel::connect(BitBtn1, &PictureButton::clicked, this, [this] { BitBtn1Click(); });
    ErrorFunnel::connect(BitBtn2, &PictureButton::clicked, this, [this] { BitBtn2Click(); });
    ErrorFunnel::connect(BitBtn3, &PictureButton::clicked, this, [this] { BitBtn3Click(); });
    ErrorFunnel::connect(BitBtn4, &PictureButton::clicked, this, [this] { BitBtn4Click(); });
    // What a screen reader says for the controls without a caption of their own.
    DBGrid1->setAccessibleName(QStringLiteral("Список клиентов"));
    DBGrid2->setAccessibleName(QStringLiteral("Машины клиента"));
}

void TForm5::expand() {
    fixSize(width(), 720);
    for (QWidget *w : std::initializer_list<QWidget *>{DBGrid1, DBGrid2, DBNavigator1, DBNavigator2, DBText1, Label1})
        w->show();
}

void TForm5::BitBtn1Click() {
    expand();
    BitBtn3->show();
    GroupBox1->hide();
}

void TForm5::BitBtn2Click() {
    expand();
    GroupBox1->hide();
    BitBtn4->show();
}

bool TForm5::selectCarOfCustomer() {
    TDataModule3 *dm = DataModule3;
    // A closed customer list has no fields and no selected customer: nobody's cars then.
    const TField *number = dm->ADOQuery1->FindField(QStringLiteral("Номер"));
    const QVariant customer = number ? number->Value() : QVariant();
    if (customer.isNull() || DBText1->Text().isEmpty())
        return false;
    TTable *cars = dm->Table1;
    TField *owner = cars->FieldByName(QStringLiteral("IdCust"));
    if (!owner->IsNull() && owner->AsFloat() == customer.toDouble())
        return true;
    // The full lists hold every customer's cars: look for one of this customer's.
    for (int row = 0; row < cars->RecordCount(); ++row) {
        const QVariant value = cars->valueAt(row, *owner);
        if (!value.isNull() && value.toDouble() == customer.toDouble()) {
            cars->setRecNo(row);
            return true;
        }
    }
    return false;
}

void TForm5::BitBtn3Click() {
    TTable *cars = DataModule3->Table1;
    while (selectCarOfCustomer()) {
        const int before = cars->RecordCount();
        DBNavigator2->ActivateButton(NavigateBtn::nbDelete);
        if (cars->RecordCount() == before)
            return; // the user declined: the customer and the remaining cars stay
    }
    DBNavigator1->ActivateButton(NavigateBtn::nbDelete);
}

void TForm5::BitBtn4Click() {
    if (!DBText1->Text().isEmpty())
        DBNavigator2->ActivateButton(NavigateBtn::nbDelete);
    else
        Messages::information(QStringLiteral("Нет данных для удаления!"));
}

void TForm5::restoreCompactMode() {
    fixSize(width(), 211);
    for (QWidget *w :
         std::initializer_list<QWidget *>{DBGrid1, DBGrid2, DBNavigator1, DBNavigator2, DBText1, Label1, BitBtn3})
        w->hide();
    GroupBox1->show();
    BitBtn4->hide();
}
