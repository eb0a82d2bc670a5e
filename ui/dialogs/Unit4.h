#pragma once
#include "platform/FormWindow.h"

/// The add customer and car dialog.
class TForm4 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);
};

extern TForm4 *Form4;
