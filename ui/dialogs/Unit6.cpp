#include "ui/dialogs/Unit6.h"
#include "data/Unit3.h"
#include "data/views/TBarSeries.h"
#include "data/views/TDBChart.h"
#include "platform/BackgroundImage.h"
#include "platform/ErrorFunnel.h"
#include "platform/PictureButton.h"

TForm6 *Form6 = nullptr;

TForm6::TForm6(QWidget *parent) : FormWindow(QStringLiteral("Form6"), QStringLiteral("Диаграмма"), parent) {
    fixSize(862, 640);
    move(268, 175);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    Image1 = new BackgroundImage(QStringLiteral("Image1"), this);

    DBChart1 = new TDBChart(QStringLiteral("DBChart1"), this);
    DBChart1->setGeometry(64, 16, 745, 545);
    DBChart1->Title()->setText(QStringLiteral("График заказов"));
    DBChart1->setChart3DPercent(50);
    DBChart1->setView3DZoom(84);
    DBChart1->setView3DHorizOffset(1);
    Series1 = DBChart1->addBarSeries(QStringLiteral("Series1"));
    Series1->setSeriesColor(Qt::red);
    Series1->setYValueField(QStringLiteral("Количество"));
    Series1->setLabelField(QStringLiteral("Дата"));
    // The query is open by now: binding fills the series for the first time.
    Series1->setDataSet(DataModule3->ADOQuery2);

    BitBtn1 = new PictureButton(QStringLiteral("BitBtn1"), QStringLiteral("Закрыть"), this);
    BitBtn1->setGeometry(400, 576, 105, 39);
    BitBtn1->setHandCursor(true);
    BitBtn1->setToolTip(QStringLiteral("Закрыть диаграмму"));
    ErrorFunnel::connect(BitBtn1, &PictureButton::clicked, this, [this] { BitBtn1Click(); });
    FormCreate();
    // What a screen reader says for the controls without a caption of their own.
    DBChart1->setAccessibleName(QStringLiteral("Диаграмма"));
}

void TForm6::BitBtn1Click() { Form6->Close(); }
