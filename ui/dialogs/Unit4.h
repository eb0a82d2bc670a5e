#pragma once
#include "platform/FormWindow.h"

class LabeledEdit;
class PictureButton;
class QGroupBox;
class QLabel;
class TDBGrid;
class TDBText;

/// The add dialog: a new customer into the database, or a new car into the
/// local car table; one group of fields shows at a time.
class TForm4 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);

    QGroupBox *GroupBox2; ///< customer entry
    LabeledEdit *LabeledEdit1, *LabeledEdit2, *LabeledEdit3, *LabeledEdit4;
    PictureButton *BitBtn2;
    QGroupBox *GroupBox1; ///< car entry
    TDBGrid *DBGrid1;
    QLabel *Label1;
    TDBText *DBText1;
    LabeledEdit *LabeledEdit5, *LabeledEdit6, *LabeledEdit7, *LabeledEdit8;
    PictureButton *BitBtn1;

    void BitBtn2Click();
    void BitBtn1Click();
};

extern TForm4 *Form4;
