#pragma once
#include "platform/FormWindow.h"

/// The password window.
class TForm8 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm8(QWidget *parent = nullptr);
};

extern TForm8 *Form8;
