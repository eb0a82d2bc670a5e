#include "ui/dialogs/Unit8.h"
#include "platform/BackgroundImage.h"
#include "platform/ErrorFunnel.h"
#include "platform/LabeledEdit.h"
#include "platform/PictureButton.h"

TForm8 *Form8 = nullptr;

TForm8::TForm8(std::function<bool(const QString &)> unlockWith, QWidget *parent)
    : FormWindow(QStringLiteral("Form8"), QStringLiteral("Пароль"), parent), m_unlockWith(std::move(unlockWith)) {
    fixSize(332, 137);
    move(424, 386);
    new BackgroundImage(QStringLiteral("Image1"), this);
    // The window's hint shows wherever the pointer rests, its controls included.
    setToolTip(QStringLiteral("Кликни для закрытия"));
    LabeledEdit1 = new LabeledEdit(QStringLiteral("LabeledEdit1"), QStringLiteral("Введите пароль"), this);
    LabeledEdit1->setGeometry(48, 56, 121, 21);
    LabeledEdit1->setPasswordChar(QLatin1Char('5'));
    BitBtn1 = new PictureButton(QStringLiteral("BitBtn1"), QStringLiteral("OK"), this);
    BitBtn1->setGeometry(192, 47, 81, 39);
    ErrorFunnel::connect(BitBtn1, &PictureButton::clicked, this, [this] { BitBtn1Click(); });
}

void TForm8::BitBtn1Click() {
    if (m_unlockWith(LabeledEdit1->text()))
        Close();
}
