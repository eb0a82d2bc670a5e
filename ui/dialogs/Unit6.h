#pragma once
#include "platform/FormWindow.h"

/// The orders chart window.
class TForm6 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm6(QWidget *parent = nullptr);
};

extern TForm6 *Form6;
