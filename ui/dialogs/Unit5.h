#pragma once
#include "platform/FormWindow.h"

/// The delete dialog.
class TForm5 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm5(QWidget *parent = nullptr);
};

extern TForm5 *Form5;
