#include "data/views/DataSetModel.h"
#include "data/datasets/TDataSet.h"

void DataSetModel::rebuild(TDataSet *dataSet) {
    beginResetModel();
    m_dataSet = dataSet && dataSet->Active() ? dataSet : nullptr;
    m_columns.clear();
    if (m_names.isEmpty()) {
        if (m_dataSet)
            for (int i = 0; i < m_dataSet->FieldCount(); ++i)
                m_columns.push_back({m_dataSet->Fields(i)->FieldName(), m_dataSet->Fields(i)});
    } else {
        for (const QString &name : m_names) {
            TField *field = m_dataSet ? m_dataSet->FindField(name) : nullptr;
            // Titled with the field's own spelling; a missing field keeps its name.
            m_columns.push_back({field ? field->DisplayLabel() : name, field});
        }
    }
    m_rows = m_dataSet ? m_dataSet->RecordCount() : 0;
    endResetModel();
}

void DataSetModel::rowsChanged() {
    const int rows = m_dataSet && m_dataSet->Active() ? m_dataSet->RecordCount() : 0;
    if (rows != m_rows) {
        beginResetModel();
        m_rows = rows;
        endResetModel();
        return;
    }
    if (m_rows > 0 && !m_columns.empty())
        emit dataChanged(index(0, 0), index(m_rows - 1, static_cast<int>(m_columns.size()) - 1));
}

void DataSetModel::rowChanged(int row) {
    if (row >= 0 && row < m_rows && !m_columns.empty())
        emit dataChanged(index(row, 0), index(row, static_cast<int>(m_columns.size()) - 1));
}

TField *DataSetModel::fieldAt(int column) const {
    return column >= 0 && column < static_cast<int>(m_columns.size()) ? m_columns[column].field : nullptr;
}

QString DataSetModel::titleAt(int column) const {
    return column >= 0 && column < static_cast<int>(m_columns.size()) ? m_columns[column].title : QString();
}

int DataSetModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : m_rows; }

int DataSetModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant DataSetModel::data(const QModelIndex &index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    TField *field = fieldAt(index.column());
    if (!field || !m_dataSet || index.row() >= m_dataSet->RecordCount())
        return QVariant();
    return field->displayTextOf(m_dataSet->valueAt(index.row(), *field));
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return titleAt(section);
    return QString();
}
