#pragma once
#include "platform/FormWindow.h"

class LabeledEdit;
class PictureButton;

/// The password window: the second entry point of the administrator lock.
class TForm8 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm8(QWidget *parent = nullptr);

    LabeledEdit *LabeledEdit1;
    PictureButton *BitBtn1;

    void BitBtn1Click();
};

extern TForm8 *Form8;
