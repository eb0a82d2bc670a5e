#include "data/views/FieldDataLink.h"
#include "data/datasets/TDataSet.h"
#include "data/datasets/TDataSource.h"

void FieldDataLink::setFieldName(const QString &name) {
    m_fieldName = name;
    findField();
    changed();
}

void FieldDataLink::findField() {
    TDataSet *ds = DataSet();
    m_field = (ds && ds->Active()) ? ds->FindField(m_fieldName) : nullptr;
}

bool FieldDataLink::canModify() const { return m_field && m_field->CanModify(); }

bool FieldDataLink::edit() {
    if (!canModify())
        return false;
    TDataSource *source = DataSource();
    if (source->State() == DataSetState::Browse)
        source->Edit();
    return DataSet()->editing();
}

void FieldDataLink::activeChanged() {
    findField();
    changed();
    if (onStateChange)
        onStateChange();
}

void FieldDataLink::recordChanged(TField *field) {
    if (!field || field == m_field)
        changed();
}

void FieldDataLink::stateChanged() {
    changed();
    if (onStateChange)
        onStateChange();
}

void FieldDataLink::updateData() {
    if (onUpdateData)
        onUpdateData();
}

void FieldDataLink::changed() {
    if (onDataChange)
        onDataChange();
}
