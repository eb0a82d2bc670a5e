#pragma once
#include "platform/FormWindow.h"

/// The work-order export check.
class TForm10 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm10(QWidget *parent = nullptr);
};

extern TForm10 *Form10;
