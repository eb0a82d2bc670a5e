#pragma once
#include "platform/FormWindow.h"

class PictureButton;
class QGroupBox;
class QLabel;
class TDBGrid;
class TDBNavigator;
class TDBText;

/// The delete dialog: compact, it asks what to delete; expanded, it deletes a
/// customer with all the customer's cars, or a single car, through the
/// delete command of its navigators.
class TForm5 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm5(QWidget *parent = nullptr);

    QGroupBox *GroupBox1;
    PictureButton *BitBtn1, *BitBtn2;
    TDBNavigator *DBNavigator1;
    TDBGrid *DBGrid1;
    QLabel *Label1;
    TDBText *DBText1;
    TDBNavigator *DBNavigator2;
    TDBGrid *DBGrid2;
    PictureButton *BitBtn3, *BitBtn4;

    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    /// What the opener does once the dialog closes.
    void restoreCompactMode();

private:
    void expand();
    /// Makes a car of the selected customer current; false when there is none.
    bool selectCarOfCustomer();
};

extern TForm5 *Form5;
