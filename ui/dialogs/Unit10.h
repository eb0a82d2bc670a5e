#pragma once
#include "platform/FormWindow.h"

#include <functional>

class BackgroundImage;
class PictureButton;
class QLabel;
class TDBGrid;
class TDBNavigator;

/// The work-order export check: every current order line with its customer's
/// name, lines of other orders deleted one by one, then the work order printed
/// as often as wanted while the dialog stays open. The printing is handed to
/// it: the report and the prepayment text are the main window's.
class TForm10 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm10(std::function<void()> printWorkOrder, QWidget *parent = nullptr);

    BackgroundImage *Image1;
    TDBGrid *DBGrid1;
    TDBNavigator *DBNavigator1;
    QLabel *Label1;
    PictureButton *BitBtn1;
    PictureButton *BitBtn2;

    void FormShow() override;
    void BitBtn1Click();
    void BitBtn2Click();

private:
    std::function<void()> m_printWorkOrder;
};

extern TForm10 *Form10;
