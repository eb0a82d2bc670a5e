#include "platform/report/OutputOptionsWindow.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {
template <typename T> T *named(T *widget, const char *name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}
} // namespace

OutputOptionsWindow::OutputOptionsWindow(const QString &defaultFile, QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("OutputOptions"));
    setWindowTitle(QStringLiteral("Output Options"));
    setModal(true);

    auto *destination = new QGroupBox(QStringLiteral("Report Destination"), this);
    m_preview = named(new QRadioButton(QStringLiteral("&Preview"), destination), "PreviewButton");
    m_printer = named(new QRadioButton(QStringLiteral("Prin&ter"), destination), "PrinterButton");
    m_file = named(new QRadioButton(QStringLiteral("&File (PDF)"), destination), "FileButton");
    m_fileName = named(new QLineEdit(QDir::toNativeSeparators(defaultFile), destination), "FileNameEdit");
    m_fileName->setMinimumWidth(280);
    m_chooseFile = named(new QToolButton(destination), "ChooseFileButton");
    m_chooseFile->setText(QStringLiteral("…"));
    m_chooseFile->setToolTip(QStringLiteral("Choose the file"));
    m_preview->setChecked(true);
    auto *destinationLayout = new QGridLayout(destination);
    destinationLayout->addWidget(m_preview, 0, 0, 1, 3);
    destinationLayout->addWidget(m_printer, 1, 0, 1, 3);
    destinationLayout->addWidget(m_file, 2, 0);
    destinationLayout->addWidget(m_fileName, 2, 1);
    destinationLayout->addWidget(m_chooseFile, 2, 2);
    destinationLayout->setColumnStretch(1, 1);

    auto *copies = new QGroupBox(QStringLiteral("Copies"), this);
    m_copies = named(new QSpinBox(copies), "CopiesBox");
    m_copies->setRange(1, 999);
    auto *copiesLayout = new QHBoxLayout(copies);
    copiesLayout->addWidget(new QLabel(QStringLiteral("Number of copies:"), copies));
    copiesLayout->addWidget(m_copies);
    copiesLayout->addStretch();

    auto *pages = new QGroupBox(QStringLiteral("Pages"), this);
    m_allPages = named(new QRadioButton(QStringLiteral("&All pages"), pages), "AllPagesButton");
    m_pageRange = named(new QRadioButton(QStringLiteral("Pages f&rom"), pages), "PageRangeButton");
    m_fromPage = named(new QSpinBox(pages), "FromPageBox");
    m_toPage = named(new QSpinBox(pages), "ToPageBox");
    m_fromPage->setRange(1, 9999);
    m_toPage->setRange(1, 9999);
    m_allPages->setChecked(true);
    auto *pagesLayout = new QGridLayout(pages);
    pagesLayout->addWidget(m_allPages, 0, 0, 1, 4);
    pagesLayout->addWidget(m_pageRange, 1, 0);
    pagesLayout->addWidget(m_fromPage, 1, 1);
    pagesLayout->addWidget(new QLabel(QStringLiteral("to"), pages), 1, 2);
    pagesLayout->addWidget(m_toPage, 1, 3);
    pagesLayout->setColumnStretch(4, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = named(buttons->button(QDialogButtonBox::Ok), "OkButton");
    m_cancel = named(buttons->button(QDialogButtonBox::Cancel), "CancelButton");
    m_ok->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(destination);
    layout->addWidget(copies);
    layout->addWidget(pages);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_chooseFile, &QToolButton::clicked, this, &OutputOptionsWindow::chooseFile);
    for (QRadioButton *button : {m_preview, m_printer, m_file, m_allPages, m_pageRange})
        connect(button, &QRadioButton::toggled, this, &OutputOptionsWindow::updateEnabled);
    connect(m_fileName, &QLineEdit::textChanged, this, &OutputOptionsWindow::updateEnabled);
    // The last page is never before the first.
    connect(m_fromPage, qOverload<int>(&QSpinBox::valueChanged), m_toPage, &QSpinBox::setMinimum);
    updateEnabled();
}

OutputOptionsWindow::Choice OutputOptionsWindow::choice() const {
    Choice out;
    out.destination = m_printer->isChecked() ? Destination::Printer
                      : m_file->isChecked()  ? Destination::File
                                             : Destination::Preview;
    if (out.destination == Destination::File)
        out.fileName = resolvedFileName();
    // A preview shows the report once; copies matter only on paper and in a file.
    out.copies = out.destination == Destination::Preview ? 1 : m_copies->value();
    if (m_pageRange->isChecked()) {
        out.fromPage = m_fromPage->value();
        out.toPage = std::max(m_fromPage->value(), m_toPage->value());
    }
    return out;
}

QString OutputOptionsWindow::resolvedFileName() const {
    const QString typed = QDir::fromNativeSeparators(m_fileName->text().trimmed());
    if (typed.isEmpty())
        return QString();
    QFileInfo info(typed);
    QString path = info.absoluteFilePath();
    if (info.suffix().isEmpty())
        path += QStringLiteral(".pdf");
    return path;
}

void OutputOptionsWindow::chooseFile() {
    const QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Save Report As"), resolvedFileName(),
                                                        QStringLiteral("PDF files (*.pdf)"));
    if (!chosen.isEmpty())
        m_fileName->setText(QDir::toNativeSeparators(chosen));
}

void OutputOptionsWindow::updateEnabled() {
    const bool file = m_file->isChecked();
    m_fileName->setEnabled(file);
    m_chooseFile->setEnabled(file);
    m_copies->setEnabled(!m_preview->isChecked());
    m_fromPage->setEnabled(m_pageRange->isChecked());
    m_toPage->setEnabled(m_pageRange->isChecked());
    // A file destination needs a name to write to.
    m_ok->setEnabled(!file || !m_fileName->text().trimmed().isEmpty());
}
