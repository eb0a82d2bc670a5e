// The administrator lock: a correct password shows the editing controls of the
// customer page for the rest of the run.
#include "platform/LabeledEdit.h"
#include "platform/MessageBoxes.h"
#include "platform/PictureButton.h"
#include "ui/main/Unit2.h"

#include <QGroupBox>

bool TForm2::passwordAccepted(const QString &typed) {
    if (typed == adminPassword())
        return true;
    Messages::information(QStringLiteral("Не правильный пароль! Повторите попытку!"));
    return false;
}

void TForm2::unlock() {
    GroupBox4->show();
    BitBtn8->show();
    BitBtn9->show();
    BitBtn11->show();
    LabeledEdit10->hide();
    BitBtn7->hide();
}

void TForm2::BitBtn7Click() { unlockWith(LabeledEdit10->text()); }

bool TForm2::unlockWith(const QString &typed) {
    if (!passwordAccepted(typed))
        return false;
    unlock();
    return true;
}
