#pragma once
#include "platform/FormWindow.h"

class BackgroundImage;
class PictureButton;
class QLabel;
class TDBGrid;
class TDBNavigator;

/// The work-order export check: every current order line with its customer's
/// name, lines of other orders deleted one by one, then the work order printed
/// as often as wanted while the dialog stays open.
class TForm10 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm10(QWidget *parent = nullptr);

    BackgroundImage *Image1;
    TDBGrid *DBGrid1;
    TDBNavigator *DBNavigator1;
    QLabel *Label1;
    PictureButton *BitBtn1;
    PictureButton *BitBtn2;

    void FormShow() override;
    void BitBtn1Click();
    void BitBtn2Click();
};

extern TForm10 *Form10;

/// Prints the work order: the order total read afresh, then the report run with
/// the prepayment text as its parameter "opl". Errors reach the caller.
void PrintWorkOrder();
