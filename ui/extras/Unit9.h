#pragma once
#include "platform/FormWindow.h"

/// The mini browser.
class TForm9 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm9(QWidget *parent = nullptr);
};

extern TForm9 *Form9;
