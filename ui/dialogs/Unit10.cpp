#include "ui/dialogs/Unit10.h"

TForm10 *Form10 = nullptr;

TForm10::TForm10(QWidget *parent) : FormWindow(QStringLiteral("Form10"), QStringLiteral("Экспорт в наряд-заказ"), parent) {}
