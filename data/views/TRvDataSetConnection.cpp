#include "data/views/TRvDataSetConnection.h"
#include "data/datasets/TDataSet.h"
#include "data/datasets/TField.h"

TRvDataSetConnection::TRvDataSetConnection(const QString &name, TDataSet *dataSet, QObject *parent)
    : QObject(parent), m_dataSet(dataSet) {
    setObjectName(name);
}

void TRvDataSetConnection::beginRead() {
    if (m_dataSet && !m_dataSet->Active()) {
        m_dataSet->Open();
        m_openedForRun = true;
    }
}

void TRvDataSetConnection::endRead() {
    if (!m_openedForRun)
        return;
    m_openedForRun = false;
    if (m_dataSet)
        m_dataSet->Close();
}

QStringList TRvDataSetConnection::fieldNames() const {
    QStringList names;
    if (m_dataSet)
        for (int i = 0; i < m_dataSet->FieldCount(); ++i)
            names.append(m_dataSet->Fields(i)->FieldName());
    return names;
}

int TRvDataSetConnection::rowCount() const { return m_dataSet && m_dataSet->Active() ? m_dataSet->RecordCount() : 0; }

int TRvDataSetConnection::currentRow() const { return m_dataSet ? m_dataSet->RecNo() : -1; }

TField *TRvDataSetConnection::field(const QString &name) const {
    return m_dataSet ? m_dataSet->FindField(name) : nullptr;
}

QString TRvDataSetConnection::displayText(int row, const QString &name) const {
    const TField *found = field(name);
    return found ? found->displayTextOf(m_dataSet->valueAt(row, *found)) : QString();
}

QVariant TRvDataSetConnection::value(int row, const QString &name) const {
    const TField *found = field(name);
    return found ? m_dataSet->valueAt(row, *found) : QVariant();
}
