#pragma once
#include "platform/MessageBoxes.h"

/// The real boxes: modal QMessageBox instances with the platform's English buttons.
class QtMessageService : public MessageService {
public:
    void information(const QString &text) override;
    bool confirm(const QString &text) override;
    bool confirmDelete() override;
    void error(const QString &text) override;
    void fatal(const QString &caption, const QString &text) override;
};
