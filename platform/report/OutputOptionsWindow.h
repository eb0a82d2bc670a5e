#pragma once
#include <QDialog>

class QAbstractButton;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QToolButton;

/// The window "Output Options" a report run opens first: where the report goes
/// (preview, preselected; printer; a PDF file), how many copies and which
/// pages. Accepting it hands back a complete, valid choice.
class OutputOptionsWindow : public QDialog {
    Q_OBJECT
public:
    enum class Destination { Preview, Printer, File };
    struct Choice {
        Destination destination = Destination::Preview;
        /// Absolute path of the PDF file, ending in ".pdf"; for File only.
        QString fileName;
        int copies = 1;
        /// 1-based, inclusive; 0 and 0 for all pages.
        int fromPage = 0;
        int toPage = 0;
    };

    /// `defaultFile` is where the file destination writes unless changed.
    explicit OutputOptionsWindow(const QString &defaultFile, QWidget *parent = nullptr);

    Choice choice() const;

    QRadioButton *previewButton() const { return m_preview; }
    QRadioButton *printerButton() const { return m_printer; }
    QRadioButton *fileButton() const { return m_file; }
    QLineEdit *fileNameEdit() const { return m_fileName; }
    QToolButton *chooseFileButton() const { return m_chooseFile; }
    QSpinBox *copiesBox() const { return m_copies; }
    QRadioButton *allPagesButton() const { return m_allPages; }
    QRadioButton *pageRangeButton() const { return m_pageRange; }
    QSpinBox *fromPageBox() const { return m_fromPage; }
    QSpinBox *toPageBox() const { return m_toPage; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    void chooseFile();
    void updateEnabled();
    QString resolvedFileName() const;

    QRadioButton *m_preview, *m_printer, *m_file;
    QLineEdit *m_fileName;
    QToolButton *m_chooseFile;
    QSpinBox *m_copies;
    QRadioButton *m_allPages, *m_pageRange;
    QSpinBox *m_fromPage, *m_toPage;
    QPushButton *m_ok, *m_cancel;
};
