#include "ui/extras/Unit9.h"

TForm9 *Form9 = nullptr;

TForm9::TForm9(QWidget *parent) : FormWindow(QStringLiteral("Form9"), QStringLiteral("Мини браузер"), parent) {}
