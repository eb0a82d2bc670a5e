#include "ui/dialogs/Unit4.h"
#include "data/StatementSlots.h"
#include "data/Unit3.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/SqlLiteral.h"
#include "data/views/TDBText.h"
#include "data/views/ViewFactory.h"
#include "platform/BackgroundImage.h"
#include "platform/ErrorFunnel.h"
#include "platform/LabeledEdit.h"
#include "platform/MessageBoxes.h"
#include "platform/PictureButton.h"
#include "platform/WhiteGroupBox.h"

#include <QGroupBox>
#include <QLabel>

TForm4 *Form4 = nullptr;

namespace {
/// Four labelled fields in one row, labels above.
void fieldRow(QWidget *parent, int y, const QStringList &names, const QStringList &captions,
              std::initializer_list<LabeledEdit **> edits) {
    int i = 0;
    for (LabeledEdit **edit : edits) {
        *edit = new LabeledEdit(names[i], captions[i], parent);
        // Spread over the group with equal margins at both ends.
        const int step = (parent->width() - 32 - 112) / 3;
        (*edit)->setGeometry(16 + i * step, y, 112, 21);
        ++i;
    }
}

/// "VALUES ('a','b',...)" with each value one quoted literal, exactly as typed.
QString valuesLine(const QStringList &values) {
    QStringList bodies;
    for (const QString &value : values)
        bodies << sqlLiteralBody(value);
    return QStringLiteral("VALUES ('") + bodies.join(QStringLiteral("','")) + QStringLiteral("')");
}
} // namespace

TForm4::TForm4(QWidget *parent) : FormWindow(QStringLiteral("Form4"), QStringLiteral("Добавить клиента"), parent) {
    fixSize(563, 473);
    move(350, 270);
    new BackgroundImage(QStringLiteral("Image1"), this);

    GroupBox2 = new WhiteGroupBox(QStringLiteral("GroupBox2"), QStringLiteral("Данные клиента"), this);
    GroupBox2->setGeometry(20, 16, 521, 129);
    fieldRow(GroupBox2, 44, {"LabeledEdit1", "LabeledEdit2", "LabeledEdit3", "LabeledEdit4"},
             {"Имя", "Фамилия*", "Телефон*", "Доп.телефон"},
             {&LabeledEdit1, &LabeledEdit2, &LabeledEdit3, &LabeledEdit4});
    BitBtn2 = new PictureButton(QStringLiteral("BitBtn2"), QStringLiteral("Добавить"), GroupBox2);
    BitBtn2->setGeometry(212, 80, 97, 39);
    BitBtn2->setHandCursor(true);

    GroupBox1 = new WhiteGroupBox(QStringLiteral("GroupBox1"), QStringLiteral("Данные машины"), this);
    GroupBox1->setGeometry(20, 16, 497, 369);
    DBGrid1 = Views::grid(GroupBox1, QStringLiteral("DBGrid1"), QStringLiteral("DataSource1"), {}, true,
                          QRect(32, 22, 433, 177));
    Label1 = new QLabel(QStringLiteral("Идентификационный номер клиента:"), GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(32, 210);
    Label1->adjustSize();
    DBText1 = Views::label(GroupBox1, QStringLiteral("DBText1"), QStringLiteral("DataSource1"), QStringLiteral("Номер"),
                           QRect(Label1->geometry().right() + 8, 210, 80, Label1->height()));
    fieldRow(GroupBox1, 262, {"LabeledEdit5", "LabeledEdit6", "LabeledEdit7", "LabeledEdit8"},
             {"Модель*", "Vin*", "ДВС", "КПП"}, {&LabeledEdit5, &LabeledEdit6, &LabeledEdit7, &LabeledEdit8});
    BitBtn1 = new PictureButton(QStringLiteral("BitBtn1"), QStringLiteral("Добавить"), GroupBox1);
    BitBtn1->setGeometry(200, 302, 97, 39);
    BitBtn1->setHandCursor(true);
    GroupBox1->hide();

    ErrorFunnel::connect(BitBtn2, &PictureButton::clicked, this, [this] { BitBtn2Click(); });
    ErrorFunnel::connect(BitBtn1, &PictureButton::clicked, this, [this] { BitBtn1Click(); });
    // What a screen reader says for the controls without a caption of their own.
    DBGrid1->setAccessibleName(QStringLiteral("Список клиентов"));
}

void TForm4::BitBtn2Click() {
    if (LabeledEdit2->text().isEmpty())
        Messages::information(QStringLiteral("Введите фамилию!"));
    if (LabeledEdit3->text().isEmpty())
        Messages::information(QStringLiteral("Введите Номер телефона!"));
    if (LabeledEdit2->text().isEmpty() || LabeledEdit3->text().isEmpty())
        return;
    TDataModule3 *dm = DataModule3;
    addCustomer({LabeledEdit1->text(), LabeledEdit2->text(), LabeledEdit3->text(), LabeledEdit4->text()});
    dm->ADOQuery1->Close();
    dm->ADOQuery1->Open();
    if (Messages::confirm(QStringLiteral("Клиент успешно добавлен! Желаете добавить данные автомобиля?"))) {
        GroupBox2->hide();
        GroupBox1->show();
        Messages::information(QStringLiteral("Не забывайте указывать клиента!"));
    } else {
        Form4->Close();
    }
    for (LabeledEdit *edit : {LabeledEdit1, LabeledEdit2, LabeledEdit3, LabeledEdit4})
        edit->clear();
}

void TForm4::addCustomer(const QStringList &values) {
    TADOConnection &store = *DataModule3->ADOConnection1;
    auto number = [&store](const QString &sql, const QVariantList &bound) {
        const SqlDialect::Outcome outcome = store.run(sql, bound);
        return outcome.rows.empty() ? 0 : outcome.rows.front().value(0).toLongLong();
    };
    qint64 after = 0;
    if (m_unsureCustomer && m_unsureCustomer->values == values) {
        after = m_unsureCustomer->after;
        // Kept until it could be looked for: a press while no server answers
        // must not forget that the earlier try may stand.
        const bool stood =
            number(QStringLiteral("select count(*) from customer where idcust > ? and Name = ? and lmane = ? "
                                  "and phone = ? and phone2 = ?"),
                   QVariantList{after} + QVariantList(values.begin(), values.end())) > 0;
        try {
            if (stood)
                store.dialect().awaitDurable(store.database());
        } catch (const EOutcomeUnknown &still) {
            throw EDatabaseError(still.message() + QStringLiteral(" Press again: the customer is first looked for, so "
                                                                  "it is added once."));
        }
        m_unsureCustomer.reset();
        if (stood)
            return; // the earlier try stood
    } else {
        after = number(QStringLiteral("select coalesce(max(idcust), 0) from customer"), {});
    }
    DataModule3->ADOQuery3->SQL().setLine(StatementSlots::insertValues, valuesLine(values));
    try {
        DataModule3->ADOQuery3->ExecSQL();
    } catch (const EOutcomeUnknown &lost) {
        m_unsureCustomer = UnsureCustomer{values, after};
        throw EDatabaseError(lost.message() + QStringLiteral(" Press again: the customer is first looked for, so it "
                                                             "is added once."));
    }
}

void TForm4::BitBtn1Click() {
    if (LabeledEdit5->text().isEmpty())
        Messages::information(QStringLiteral("Марку и модель авто!"));
    if (LabeledEdit6->text().isEmpty())
        Messages::information(QStringLiteral("Введите VIN автомобиля!"));
    if (LabeledEdit5->text().isEmpty() || LabeledEdit6->text().isEmpty())
        return;
    // A car needs an owner: with no customer selected there is nobody to attach it to.
    if (DBText1->Text().isEmpty()) {
        Messages::information(QStringLiteral("Не выбран клиент! Выберите клиента в списке."));
        return;
    }
    TDataModule3 *dm = DataModule3;
    // The list may be older than the database: another workstation can have
    // deleted the customer since, and a car must not outlive its owner. The car
    // table lives in another store, so no transaction spans the check and the insert.
    if (dm->ADOConnection1->run(QStringLiteral("select 1 from customer where idcust = ?"), {DBText1->Text()})
            .rows.empty()) {
        Messages::information(QStringLiteral("Этого клиента уже нет в базе! Выберите другого клиента."));
        return;
    }
    dm->Query1->SQL().setLine(StatementSlots::insertValues,
                              valuesLine({LabeledEdit5->text(), LabeledEdit6->text(), LabeledEdit7->text(),
                                          LabeledEdit8->text(), DBText1->Text()}));
    dm->Query1->ExecSQL();
    GroupBox2->show();
    GroupBox1->hide();
    for (LabeledEdit *edit : {LabeledEdit5, LabeledEdit6, LabeledEdit7, LabeledEdit8})
        edit->clear();
    Form4->Close();
}
