#pragma once
#include "data/datasets/TDataSet.h"
#include "platform/report/ReportRowSource.h"

#include <QObject>
#include <QPointer>

class TField;

/// Offers one dataset to a report under the connection's name: its rows in
/// the dataset's order, read without moving the dataset or telling its views.
/// A dataset that is closed when a run begins is opened for the run only.
class TRvDataSetConnection : public QObject, public ReportRowSource {
    Q_OBJECT
public:
    TRvDataSetConnection(const QString &name, TDataSet *dataSet, QObject *parent = nullptr);

    TDataSet *DataSet() const { return m_dataSet; }
    void setDataSet(TDataSet *dataSet) { m_dataSet = dataSet; }

    QString sourceName() const override { return objectName(); }
    void beginRead() override;
    void endRead() override;
    QStringList fieldNames() const override;
    int rowCount() const override;
    int currentRow() const override;
    QString displayText(int row, const QString &field) const override;
    QVariant value(int row, const QString &field) const override;

private:
    TField *field(const QString &name) const;

    QPointer<TDataSet> m_dataSet;
    bool m_openedForRun = false;
};
