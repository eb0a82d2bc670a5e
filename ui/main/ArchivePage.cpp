// The order archive page: the archive grid, its sort keys and direction, the
// period search with its total, the chart and the exit button.
#include "data/StatementSlots.h"
#include "data/Unit3.h"
#include "data/views/TDBNavigator.h"
#include "data/views/ViewFactory.h"
#include "platform/DatePicker.h"
#include "platform/PictureButton.h"
#include "platform/WhiteGroupBox.h"
#include "ui/dialogs/Unit6.h"
#include "ui/main/Unit2.h"
#include "ui/splash/Unit1.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

namespace {
// A label as wide as its text, at its place.
QLabel *label(QWidget *parent, const QString &name, const QString &text, const QPoint &at) {
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->move(at);
    l->adjustSize();
    return l;
}

QDateEdit *datePicker(QWidget *parent, const QString &name, const QRect &geometry) {
    auto *picker = new DatePicker(name, QDate::currentDate(), parent);
    picker->setGeometry(geometry);
    return picker;
}

// Of the sort keys only the selected one is a tab stop; while none is, the
// first stands for them, so Tab still reaches the keys. Focus selects nothing.
void followSelection(const QList<QRadioButton *> &keys) {
    const bool none = std::none_of(keys.begin(), keys.end(), [](QRadioButton *key) { return key->isChecked(); });
    for (QRadioButton *key : keys)
        key->setFocusPolicy(key->isChecked() || (none && key == keys.first()) ? Qt::StrongFocus : Qt::ClickFocus);
}

// The arrow keys move the focus between the sort keys and select none: a key
// is selected by Space or a click, and every selection is a query. The toolkit
// makes the focused key the tab stop; leaving the keys puts the rule back.
class SortKeyFocus : public QObject {
public:
    SortKeyFocus(const QList<QRadioButton *> &keys, QObject *parent) : QObject(parent), m_keys(keys) {
        for (QRadioButton *key : keys)
            key->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::FocusOut)
            followSelection(m_keys);
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *press = static_cast<QKeyEvent *>(event);
        if (press->modifiers() & ~Qt::KeypadModifier)
            return false;
        const int key = press->key();
        const int step = key == Qt::Key_Up || key == Qt::Key_Left      ? -1
                         : key == Qt::Key_Down || key == Qt::Key_Right ? 1
                                                                       : 0;
        if (step == 0)
            return false;
        const int at = int(m_keys.indexOf(static_cast<QRadioButton *>(watched))) + step;
        if (at >= 0 && at < m_keys.size())
            m_keys[at]->setFocus(step < 0 ? Qt::BacktabFocusReason : Qt::TabFocusReason);
        return true;
    }

private:
    QList<QRadioButton *> m_keys;
};

// The two queries of the page: the archive and its period total.
QList<TADOQuery *> periodQueries() { return {DataModule3->ADOQuery2, DataModule3->ADOQuery6}; }
} // namespace

void TForm2::buildArchivePage() {
    QWidget *page = TabSheet3;
    DBGrid2 = Views::grid(page, QStringLiteral("DBGrid2"), QStringLiteral("DataSource4"),
                          {QStringLiteral("фирма"), QStringLiteral("Артикул"), QStringLiteral("Наименование"),
                           QStringLiteral("Количество"), QStringLiteral("Цена(шт)"), QStringLiteral("Дата")},
                          true, QRect(8, 80, 873, 577));
    DBNavigator2 = Views::navigator(page, QStringLiteral("DBNavigator2"), QStringLiteral("DataSource4"),
                                    {NavigateBtn::nbFirst, NavigateBtn::nbPrior, NavigateBtn::nbNext,
                                     NavigateBtn::nbLast, NavigateBtn::nbEdit, NavigateBtn::nbPost},
                                    QPoint(240, 56), 228);
    // The total lies over the top right corner of the archive grid.
    DBGrid7 =
        Views::grid(page, QStringLiteral("DBGrid7"), QStringLiteral("DataSource6"), {}, true, QRect(720, 80, 161, 120));

    GroupBox3 =
        new WhiteGroupBox(QStringLiteral("GroupBox3"), QStringLiteral("Заказы за заданный промежуток времени"), page);
    GroupBox3->setGeometry(888, 80, 353, 169);
    Label2 = label(GroupBox3, QStringLiteral("Label2"), QStringLiteral("C"), QPoint(8, 48));
    DateTimePicker1 = datePicker(GroupBox3, QStringLiteral("DateTimePicker1"), QRect(32, 40, 129, 21));
    Label3 = label(GroupBox3, QStringLiteral("Label3"), QStringLiteral("по"), QPoint(184, 48));
    DateTimePicker2 = datePicker(GroupBox3, QStringLiteral("DateTimePicker2"), QRect(208, 40, 130, 21));
    BitBtn16 = PictureButton::place(GroupBox3, QStringLiteral("BitBtn16"), QStringLiteral("Поиск"),
                                    QRect(128, 72, 105, 39), true);
    BitBtn17 = PictureButton::place(GroupBox3, QStringLiteral("BitBtn17"), QStringLiteral("За весь период"),
                                    QRect(80, 120, 209, 39), true);

    // The sort keys are children of the page, drawn inside the group's frame.
    RadioGroup2 = new QGroupBox(QStringLiteral("Сортировка"), page);
    RadioGroup2->setObjectName(QStringLiteral("RadioGroup2"));
    RadioGroup2->setGeometry(888, 272, 353, 201);
    CheckBox1 = new QCheckBox(QStringLiteral("По убыванию"), page);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(928, 312, 97, 17);
    RadioButton6 = new QRadioButton(QStringLiteral("По номеру клиента"), page);
    RadioButton7 = new QRadioButton(QStringLiteral("По наименованию"), page);
    RadioButton8 = new QRadioButton(QStringLiteral("По цене"), page);
    RadioButton9 = new QRadioButton(QStringLiteral("По дате"), page);
    const int widths[] = {145, 129, 113, 113};
    const QList<QRadioButton *> keys = {RadioButton6, RadioButton7, RadioButton8, RadioButton9};
    void (TForm2::*handlers[])() = {&TForm2::RadioButton6Click, &TForm2::RadioButton7Click, &TForm2::RadioButton8Click,
                                    &TForm2::RadioButton9Click};
    for (int i = 0; i < 4; ++i) {
        QRadioButton *key = keys[i];
        key->setObjectName(QStringLiteral("RadioButton%1").arg(6 + i));
        key->setGeometry(928, 344 + 24 * i, widths[i], 17);
        key->setCursor(Qt::PointingHandCursor);
        // A key reports a click only when it turns selected.
        const auto handler = handlers[i];
        connect(key, &QRadioButton::toggled, this, [this, keys, handler](bool selected) {
            followSelection(keys);
            if (selected)
                ErrorFunnel::guard([this, handler] { (this->*handler)(); });
        });
    }

    followSelection(keys);
    new SortKeyFocus(keys, this);

    BitBtn13 = PictureButton::place(page, QStringLiteral("BitBtn13"), QStringLiteral("Диаграмма"),
                                    QRect(992, 496, 153, 39), true);
    // Under the floating calendar: reached by Tab and pressed with the keyboard.
    Button6 = new QPushButton(QStringLiteral("Выход"), page);
    Button6->setObjectName(QStringLiteral("Button6"));
    Button6->setGeometry(1112, 768, 75, 25);

    QWidget::setTabOrder(DBGrid2, DateTimePicker1);
    QWidget::setTabOrder(DateTimePicker1, DateTimePicker2);
    QWidget::setTabOrder(DateTimePicker2, BitBtn16);
    QWidget::setTabOrder(BitBtn16, BitBtn17);
    QWidget::setTabOrder(BitBtn17, RadioButton6);
    QWidget::setTabOrder(RadioButton6, RadioButton7);
    QWidget::setTabOrder(RadioButton7, RadioButton8);
    QWidget::setTabOrder(RadioButton8, RadioButton9);
    QWidget::setTabOrder(RadioButton9, CheckBox1);
    QWidget::setTabOrder(CheckBox1, Button6);
    QWidget::setTabOrder(Button6, DBGrid7);
    QWidget::setTabOrder(DBGrid7, BitBtn13);

    wire(CheckBox1, &QCheckBox::toggled, &TForm2::CheckBox1Click);
    wire(BitBtn16, &PictureButton::clicked, &TForm2::BitBtn16Click);
    wire(BitBtn17, &PictureButton::clicked, &TForm2::BitBtn17Click);
    wire(BitBtn13, &PictureButton::clicked, &TForm2::BitBtn13Click);
    wire(Button6, &QPushButton::clicked, &TForm2::Button6Click);
    // What a screen reader says for the controls without a caption of their own.
    DBGrid2->setAccessibleName(QStringLiteral("Архив заказов"));
    DBGrid7->setAccessibleName(QStringLiteral("Сумма за промежуток"));
    DateTimePicker1->setAccessibleName(QStringLiteral("Дата начала периода"));
    DateTimePicker2->setAccessibleName(QStringLiteral("Дата конца периода"));
}

void TForm2::sortArchive(const QString &descending, const QString &ascending) {
    TADOQuery *archive = DataModule3->ADOQuery2;
    archive->Close();
    archive->SQL().setLine(StatementSlots::archiveOrder, CheckBox1->isChecked() ? descending : ascending);
    archive->Open();
}

void TForm2::RadioButton6Click() {
    sortArchive(QStringLiteral("ORDER BY idCust DESC"), QStringLiteral("ORDER BY idCust ASC"));
}
void TForm2::RadioButton7Click() {
    sortArchive(QStringLiteral("ORDER BY firm DESC"), QStringLiteral("ORDER BY Firm ASC"));
}
void TForm2::RadioButton8Click() {
    sortArchive(QStringLiteral("ORDER BY cena DESC"), QStringLiteral("ORDER BY cena ASC"));
}
void TForm2::RadioButton9Click() {
    sortArchive(QStringLiteral("ORDER BY Date DESC"), QStringLiteral("ORDER BY Date ASC"));
}

void TForm2::CheckBox1Click() {
    // The new direction waits for the next key; clearing every key makes
    // that next choice always a change.
    for (QRadioButton *key : {RadioButton6, RadioButton7, RadioButton8, RadioButton9}) {
        key->setAutoExclusive(false);
        key->setChecked(false);
        key->setAutoExclusive(true);
    }
}

void TForm2::BitBtn16Click() {
    const QString start = QLocale().toString(DateTimePicker1->date(), QLocale::ShortFormat);
    const QString end = QLocale().toString(DateTimePicker2->date(), QLocale::ShortFormat);
    for (TADOQuery *query : periodQueries()) {
        query->Close();
        query->SQL().setLine(StatementSlots::archivePeriod, QStringLiteral(" "));
        query->Open();
        query->Close();
        query->Parameters().AddParameter().Name = QStringLiteral("D1");
        query->Parameters().AddParameter().Name = QStringLiteral("D2");
        query->Parameters().ParamByName(QStringLiteral("D1")).Value = start;
        query->Parameters().ParamByName(QStringLiteral("D2")).Value = end;
        query->SQL().setLine(StatementSlots::archivePeriod, QStringLiteral("where [Date] between :D1 and :D2"));
        query->Open();
    }
}

void TForm2::BitBtn17Click() {
    for (TADOQuery *query : periodQueries()) {
        query->Close();
        query->SQL().setLine(StatementSlots::archivePeriod, QStringLiteral(" "));
        query->Open();
    }
}

void TForm2::BitBtn13Click() { Form6->ShowModal(); }

void TForm2::Button6Click() { Form1->Close(); }
