#pragma once
#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

class TDataSet;
class TField;

/// The rows of a dataset as a virtual table model: a cell is read from the
/// dataset only when a view paints it, so the row count costs nothing.
class DataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DataSetModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}

    /// Field names of the columns; empty means every field of the dataset.
    void setColumnNames(const QStringList &names) { m_names = names; }
    const QStringList &columnNames() const { return m_names; }
    /// Rebinds the columns to the dataset's fields and resets the model.
    void rebuild(TDataSet *dataSet);
    /// Rows may have come or gone, or values changed anywhere.
    void rowsChanged();
    /// A value of one row changed.
    void rowChanged(int row);
    TField *fieldAt(int column) const;
    QString titleAt(int column) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Column {
        QString title;
        TField *field = nullptr;
    };
    TDataSet *m_dataSet = nullptr;
    QStringList m_names;
    std::vector<Column> m_columns;
    int m_rows = 0;
};
