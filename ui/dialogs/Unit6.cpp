#include "ui/dialogs/Unit6.h"

TForm6 *Form6 = nullptr;

TForm6::TForm6(QWidget *parent) : FormWindow(QStringLiteral("Form6"), QStringLiteral("Диаграмма"), parent) {}
