#pragma once
#include "platform/FormWindow.h"

#include <QStringList>
#include <optional>

class LabeledEdit;
class PictureButton;
class QGroupBox;
class QLabel;
class TDBGrid;
class TDBText;

/// The add dialog: a new customer into the database, or a new car into the
/// local car table; one group of fields shows at a time.
class TForm4 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);

    QGroupBox *GroupBox2; ///< customer entry
    LabeledEdit *LabeledEdit1, *LabeledEdit2, *LabeledEdit3, *LabeledEdit4;
    PictureButton *BitBtn2;
    QGroupBox *GroupBox1; ///< car entry
    TDBGrid *DBGrid1;
    QLabel *Label1;
    TDBText *DBText1;
    LabeledEdit *LabeledEdit5, *LabeledEdit6, *LabeledEdit7, *LabeledEdit8;
    PictureButton *BitBtn1;

    void BitBtn2Click();
    void BitBtn1Click();

private:
    /// A customer sent to the server that never answered: the values, and the
    /// highest number before it, so that pressing again first looks for it.
    struct UnsureCustomer {
        QStringList values;
        qint64 after = 0;
    };
    std::optional<UnsureCustomer> m_unsureCustomer;
    /// Adds the customer once, also when an earlier try may have stored it.
    void addCustomer(const QStringList &values);
};

extern TForm4 *Form4;
