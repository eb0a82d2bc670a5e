#include "ui/dialogs/Unit7.h"

TForm7 *Form7 = nullptr;

TForm7::TForm7(QWidget *parent) : FormWindow(QStringLiteral("Form7"), QStringLiteral("Справка"), parent) {}
