#include "ui/dialogs/Unit5.h"

TForm5 *Form5 = nullptr;

TForm5::TForm5(QWidget *parent) : FormWindow(QStringLiteral("Form5"), QStringLiteral("Удаление"), parent) {}
