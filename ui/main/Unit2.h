#pragma once
#include "platform/FormWindow.h"

class TDataModule3;

/// The main window. Closing it ends the program.
class TForm2 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);

protected:
    void FormClose() override;
};

extern TForm2 *Form2;
