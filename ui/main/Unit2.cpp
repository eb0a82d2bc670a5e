#include "ui/main/Unit2.h"
#include "app/Unit1.h"

TForm2 *Form2 = nullptr;

TForm2::TForm2(QWidget *parent) : FormWindow(QStringLiteral("Form2"), QStringLiteral("Drevalon"), parent) {
    resize(1288, 1003);
}

void TForm2::FormClose() { Form1->Close(); }
