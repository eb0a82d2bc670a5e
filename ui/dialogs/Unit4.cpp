#include "ui/dialogs/Unit4.h"

TForm4 *Form4 = nullptr;

TForm4::TForm4(QWidget *parent) : FormWindow(QStringLiteral("Form4"), QStringLiteral("Добавить клиента"), parent) {}
