#pragma once
#include "platform/FormWindow.h"

/// The splash window and the application's main form: closing it, by whatever
/// path, ends the program. Once activated it hands over to the main window.
class TForm1 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);

protected:
    void FormActivate() override;
    void closeEvent(QCloseEvent *event) override;
};

extern TForm1 *Form1;
