#pragma once
#include "platform/FormWindow.h"

/// The help and author window.
class TForm7 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm7(QWidget *parent = nullptr);
};

extern TForm7 *Form7;
