#pragma once
#include "platform/FormWindow.h"

class BackgroundImage;
class PictureButton;
class TBarSeries;
class TDBChart;

/// The orders chart window: the archive query as bars of ordered quantities,
/// labelled by date, in the order and period the archive page last chose. The
/// series follows the query from start-up on, shown or not; showing the window
/// never reads the database.
class TForm6 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm6(QWidget *parent = nullptr);

    BackgroundImage *Image1;
    TDBChart *DBChart1;
    TBarSeries *Series1;
    PictureButton *BitBtn1;

    void FormCreate() {}
    void BitBtn1Click();
};

extern TForm6 *Form6;
