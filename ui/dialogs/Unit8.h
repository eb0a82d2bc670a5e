#pragma once
#include "platform/FormWindow.h"

#include <functional>

class LabeledEdit;
class PictureButton;

/// The password window: the second entry point of the administrator lock,
/// which is handed to it (true when the typed password opened the lock).
class TForm8 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm8(std::function<bool(const QString &)> unlockWith, QWidget *parent = nullptr);

    LabeledEdit *LabeledEdit1;
    PictureButton *BitBtn1;

    void BitBtn1Click();

private:
    std::function<bool(const QString &)> m_unlockWith;
};

extern TForm8 *Form8;
