#include "ui/dialogs/Unit8.h"

TForm8 *Form8 = nullptr;

TForm8::TForm8(QWidget *parent) : FormWindow(QStringLiteral("Form8"), QStringLiteral("Пароль"), parent) {}
