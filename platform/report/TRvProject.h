#pragma once
#include "platform/report/OutputOptionsWindow.h"

#include <QDialog>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <memory>

class ReportPages;
class ReportRowSource;
class ReportTemplate;

/// A report project: the layout file it loads, text parameters that outlive
/// closing it, and the row sources the layout reads by name. Execute asks in
/// "Output Options" where the report goes, renders the layout over the sources
/// and shows it in "Report Preview", prints it or writes it as PDF.
class TRvProject : public QObject {
    Q_OBJECT
public:
    explicit TRvProject(const QString &name, QObject *parent = nullptr);
    ~TRvProject() override;

    const QString &ProjectFile() const { return m_projectFile; }
    /// A file name without any full stop gets ".rav". Another file closes the project.
    void setProjectFile(const QString &path);

    bool Active() const { return m_layout != nullptr; }
    /// Loads the project file unless the project is open already. Throws when
    /// the file does not exist, cannot be read or its tags do not pair up.
    void Open();
    /// Unloads the project; the parameters stay.
    void Close();

    void SetParam(const QString &name, const QString &value) { m_parameters.insert(name, value); }
    QString GetParam(const QString &name) const { return m_parameters.value(name); }

    /// Offers a source to the layout under its name (a later source of the same
    /// name takes its place). The project does not own it.
    void addConnection(ReportRowSource *source);
    ReportRowSource *connection(const QString &name) const;

    /// Opens the project if needed, then runs the report through the output
    /// options window to the destination chosen there. Cancel ends the run
    /// quietly; a failure of a source or of writing throws.
    void Execute();

    /// Opens the project if needed and renders it now: every source is read
    /// between its beginRead and endRead.
    QString renderHtml();
    /// Runs that reached the output options window.
    int runCount() const { return m_runs; }
    /// The report of the last run that produced output; empty after a cancelled run.
    const QString &lastHtml() const { return m_lastHtml; }

    /// The windows of the run in progress, while they show; nullptr otherwise.
    OutputOptionsWindow *outputOptionsWindow() const { return m_optionsWindow; }
    QDialog *previewWindow() const { return m_previewWindow; }
    QProgressDialog *statusWindow() const { return m_statusWindow; }
    /// How many sheets of the last preview have been drawn: the first at once,
    /// the others once it is on screen.
    int previewSheetsDrawn() const { return m_previewDrawn; }

private:
    void preview(const ReportPages &pages, const QList<int> &numbers);
    void printOnPrinter(const ReportPages &pages, const QList<int> &numbers, int copies);
    void writeFile(const ReportPages &pages, const QList<int> &numbers, int copies, const QString &fileName);
    QString defaultFileName() const;

    QString m_projectFile;
    std::unique_ptr<ReportTemplate> m_layout;
    QMap<QString, QString> m_parameters;
    QList<ReportRowSource *> m_sources;
    int m_runs = 0;
    int m_previewDrawn = 0;
    QString m_lastHtml;
    QPointer<OutputOptionsWindow> m_optionsWindow;
    QPointer<QDialog> m_previewWindow;
    QPointer<QProgressDialog> m_statusWindow;
};
