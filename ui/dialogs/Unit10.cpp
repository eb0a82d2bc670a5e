#include "ui/dialogs/Unit10.h"
#include "data/Unit3.h"
#include "data/views/TDBNavigator.h"
#include "data/views/ViewFactory.h"
#include "platform/BackgroundImage.h"
#include "platform/ErrorFunnel.h"
#include "platform/PictureButton.h"

#include <QLabel>
#include <QLineEdit>
#include <algorithm>

TForm10 *Form10 = nullptr;

TForm10::TForm10(std::function<void()> printWorkOrder, QWidget *parent)
    : FormWindow(QStringLiteral("Form10"), QStringLiteral("Экспорт в наряд-заказ"), parent),
      m_printWorkOrder(std::move(printWorkOrder)) {
    fixSize(845, 588);
    move(211, 143);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    setPalette(palette);
    Image1 = new BackgroundImage(QStringLiteral("Image1"), this);

    DBGrid1 =
        Views::grid(this, QStringLiteral("DBGrid1"), QStringLiteral("DataSource9"),
                    {QStringLiteral("name"), QStringLiteral("lmane"), QStringLiteral("firm"), QStringLiteral("number"),
                     QStringLiteral("description"), QStringLiteral("Kol"), QStringLiteral("cena")},
                    true, QRect(24, 8, 793, 329));
    DBNavigator1 =
        Views::navigator(this, QStringLiteral("DBNavigator1"), QStringLiteral("DataSource9"),
                         {NavigateBtn::nbPrior, NavigateBtn::nbNext, NavigateBtn::nbDelete, NavigateBtn::nbRefresh},
                         QPoint(312, 336), 216);
    Label1 = new QLabel(QStringLiteral("Если в данном списке есть  имена клиентов не имеющих отношение к данному "
                                       "заказу, выделите  и удалите поочередно все строчки  старого заказа. Для "
                                       "удаления нажмите на кнопку \" - \" под списком. При этом удаляемые данные "
                                       "не будут записаны в архив заказов!"),
                        this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont larger = Label1->font();
    larger.setPixelSize(21);
    Label1->setFont(larger);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The platform font runs wider than the designed one: the text takes the
    // lines it needs, down to the buttons at most.
    Label1->setGeometry(120, 384, 641, std::clamp(Label1->heightForWidth(641), 105, 136));

    BitBtn1 =
        PictureButton::place(this, QStringLiteral("BitBtn1"), QStringLiteral("OK"), QRect(336, 528, 79, 39), false);
    BitBtn1->setToolTip(QStringLiteral("Продолжить создание Наряд-заказа"));
    BitBtn2 = PictureButton::place(this, QStringLiteral("BitBtn2"), QStringLiteral("Закрыть"), QRect(424, 528, 104, 39),
                                   false);
    BitBtn2->setToolTip(QStringLiteral("Отменить Наряд-заказ"));
    ErrorFunnel::connect(BitBtn1, &PictureButton::clicked, this, [this] { BitBtn1Click(); });
    ErrorFunnel::connect(BitBtn2, &PictureButton::clicked, this, [this] { BitBtn2Click(); });
    // What a screen reader says for the controls without a caption of their own.
    DBGrid1->setAccessibleName(QStringLiteral("Строки текущих заказов"));
}

void TForm10::FormShow() {
    DataModule3->ADOQuery8->Close();
    DataModule3->ADOQuery8->Open();
}

void TForm10::BitBtn1Click() { m_printWorkOrder(); }

void TForm10::BitBtn2Click() { Form10->Close(); }
