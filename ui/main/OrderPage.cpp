// The order placement page: the customer, the lines of the order, its total,
// the prepayment, the work order and the move of the order into the archive.
#include "data/StatementSlots.h"
#include "data/Unit3.h"
#include "data/datasets/StoreLog.h"
#include "data/datasets/StoreTransaction.h"
#include "data/views/TDBNavigator.h"
#include "data/views/TRvDataSetConnection.h"
#include "data/views/ViewFactory.h"
#include "platform/MessageBoxes.h"
#include "platform/PictureButton.h"
#include "platform/report/TRvProject.h"
#include "ui/dialogs/Unit10.h"
#include "ui/main/Unit2.h"

#include <DrevalonBuild.h>
#include <QLabel>
#include <QLineEdit>

void TForm2::buildOrderPage() {
    QWidget *page = TabSheet2;
    DBGrid5 = Views::grid(
        page, QStringLiteral("DBGrid5"), QStringLiteral("DataSource8"),
        {QStringLiteral("Name"), QStringLiteral("Lmane"), QStringLiteral("Phone"), QStringLiteral("Phone2")}, true,
        QRect(16, 80, 537, 225));
    DBGrid6 = Views::grid(page, QStringLiteral("DBGrid6"), QStringLiteral("DataSource5"),
                          {QStringLiteral("Firm"), QStringLiteral("number"), QStringLiteral("description"),
                           QStringLiteral("Kol"), QStringLiteral("cena")},
                          true, QRect(8, 320, 681, 305));
    DBGrid8 = Views::grid(page, QStringLiteral("DBGrid8"), QStringLiteral("DataSource7"), {}, true,
                          QRect(688, 320, 161, 305));
    DBGrid8->setToolTip(QStringLiteral(
        "Если в данном поле есть какое либо число, а в списке справа нет никаких записей. То во избежании ошибок "
        "вычисления суммы заказов нажмите кнопку \"Удалить\"."));
    DBNavigator3 =
        Views::navigator(page, QStringLiteral("DBNavigator3"), QStringLiteral("DataSource5"),
                         {NavigateBtn::nbFirst, NavigateBtn::nbPrior, NavigateBtn::nbNext, NavigateBtn::nbLast,
                          NavigateBtn::nbInsert, NavigateBtn::nbDelete, NavigateBtn::nbPost},
                         QPoint(336, 624), 224);
    BitBtn12 = PictureButton::place(page, QStringLiteral("BitBtn12"), QStringLiteral("Сумма заказа"),
                                    QRect(688, 624, 161, 41), false);
    BitBtn15 = PictureButton::place(page, QStringLiteral("BitBtn15"), QStringLiteral("Удаление"),
                                    QRect(8, 632, 169, 41), false);
    BitBtn15->setToolTip(QStringLiteral("Очистить всю таблицу"));

    Label14 = new QLabel(QStringLiteral("Предоплата"), page);
    Label14->setObjectName(QStringLiteral("Label14"));
    QFont larger = Label14->font();
    larger.setPixelSize(15);
    Label14->setFont(larger);
    Edit1 = new QLineEdit(page);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(432, 672, 121, 21);
    // The larger text ends just before the field instead of under it.
    Label14->adjustSize();
    Label14->move(std::min(344, Edit1->x() - 4 - Label14->width()), 672);
    BitBtn14 = PictureButton::place(page, QStringLiteral("BitBtn14"), QStringLiteral("Наряд-заказ"),
                                    QRect(352, 704, 209, 39), true);
    BitBtn10 = PictureButton::place(page, QStringLiteral("BitBtn10"), QStringLiteral("Сохранить в архив"),
                                    QRect(352, 752, 209, 39), true);

    QWidget::setTabOrder(DBGrid6, DBGrid5);
    QWidget::setTabOrder(DBGrid5, BitBtn10);
    QWidget::setTabOrder(BitBtn10, DBGrid8);
    QWidget::setTabOrder(DBGrid8, Edit1);
    QWidget::setTabOrder(Edit1, BitBtn14);
    QWidget::setTabOrder(BitBtn14, BitBtn12);
    QWidget::setTabOrder(BitBtn12, BitBtn15);

    // What a screen reader says for the controls without a caption of their own.
    DBGrid5->setAccessibleName(QStringLiteral("Список клиентов"));
    DBGrid6->setAccessibleName(QStringLiteral("Заказ клиента: строки"));
    DBGrid8->setAccessibleName(DBGrid8->toolTip());
    Label14->setBuddy(Edit1);

    wire(BitBtn12, &PictureButton::clicked, &TForm2::BitBtn12Click);
    wire(BitBtn15, &PictureButton::clicked, &TForm2::BitBtn15Click);
    wire(BitBtn14, &PictureButton::clicked, &TForm2::BitBtn14Click);
    wire(BitBtn10, &PictureButton::clicked, &TForm2::BitBtn10Click);
}

void TForm2::buildReport() {
    RvProject1 = new TRvProject(QStringLiteral("RvProject1"), this);
    RvProject1->setProjectFile(QString::fromUtf8(DrevalonBuild::reportProject));
    TRvDataSetConnection **connections[] = {&RvDataSetConnection1, &RvDataSetConnection2, &RvDataSetConnection3,
                                            &RvDataSetConnection4};
    for (int i = 0; i < 4; ++i) {
        *connections[i] = new TRvDataSetConnection(QStringLiteral("RvDataSetConnection%1").arg(i + 1), nullptr, this);
        RvProject1->addConnection(*connections[i]);
    }
}

void TForm2::bindDataModule(const TDataModule3 &module) {
    RvDataSetConnection1->setDataSet(module.ADOTable3);
    RvDataSetConnection2->setDataSet(module.ADOTable2);
    RvDataSetConnection3->setDataSet(module.ADOQuery7);
    RvDataSetConnection4->setDataSet(module.ADOTable4);
}

void TForm2::BitBtn12Click() {
    DBNavigator3->ActivateButton(NavigateBtn::nbPost);
    DataModule3->ADOQuery7->Close();
    DataModule3->ADOQuery7->Open();
}

void TForm2::BitBtn10Click() {
    TDataModule3 *dm = DataModule3;
    TADOQuery *move = dm->ADOQuery5;
    move->Close();
    dm->DataSource5->setDataSet(move);
    try {
        move->SQL().add(QStringLiteral("insert INTO [orderAll](idcust,Firm,number,description,kol,cena)"));
        move->SQL().add(QStringLiteral("SELECT idcust,Firm,number,description,kol,cena"));
        move->SQL().add(QStringLiteral("from [orderNow] "));
        // This workstation's lines only, in the copy and in the delete alike.
        move->SQL().add(QString());
        dm->narrowToWorkstation(*move, StatementSlots::moveStation);
        // The copy and the delete stand or fall together: a line is never
        // archived twice, nor lost between the two tables.
        StoreTransaction transaction(*dm->ADOConnection1);
        move->ExecSQL();
        move->Close();
        move->SQL().setLine(0, QStringLiteral("delete from [orderNow] "));
        move->SQL().setLine(1, QString());
        move->SQL().setLine(2, QString());
        move->ExecSQL();
        transaction.commit();
    } catch (...) {
        // The order lines come back into view as the store now holds them; an
        // error doing so must not hide the one that stopped the move.
        try {
            restoreOrderLines();
        } catch (...) {
            qCDebug(storeLog).noquote() << "order lines not shown again after a failed move:" << caughtErrorText();
        }
        throw;
    }
    restoreOrderLines();
    dm->ADOQuery7->Close();
    dm->ADOQuery7->Open();
}

void TForm2::restoreOrderLines() {
    TDataModule3 *dm = DataModule3;
    dm->ADOQuery5->SQL().clear();
    dm->ADOTable2->Close();
    dm->DataSource5->setDataSet(dm->ADOTable2);
    dm->ADOTable2->Open();
}

void TForm2::BitBtn15Click() {
    if (!Messages::confirm(QStringLiteral("Желаете удалить все записи таблицы текущих заказов?")))
        return;
    TDataModule3 *dm = DataModule3;
    dm->ADOQuery9->ExecSQL();
    dm->ADOTable2->Close();
    dm->ADOTable2->Open();
    dm->ADOQuery7->Close();
    dm->ADOQuery7->Open();
}

void TForm2::BitBtn14Click() {
    DataModule3->ADOTable2->Close();
    DataModule3->ADOTable2->Open();
    if (Messages::confirm(QStringLiteral("Желаете проверить данные экспортируемые в наряд-заказ!?")))
        Form10->ShowModal();
    else
        printWorkOrder();
}

void TForm2::printWorkOrder() {
    DataModule3->ADOQuery7->Close();
    DataModule3->ADOQuery7->Open();
    RvProject1->Open();
    RvProject1->SetParam(QStringLiteral("opl"), Edit1->text());
    RvProject1->Close();
    RvProject1->Execute();
}
