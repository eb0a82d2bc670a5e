#pragma once
#include <QApplication>

/// The application object. Its event dispatch is the last net of the error
/// funnel: an error no handler guard caught is shown in the error box and the
/// loop goes on.
class DrevalonApplication : public QApplication {
    Q_OBJECT
public:
    DrevalonApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

private:
    /// What must be settled before the application object exists.
    static int &beforeCreation(int &argc);
};
