#include "data/datasets/MasterLink.h"
#include "data/datasets/TDataSet.h"

void MasterLink::activeChanged() { m_detail->masterChanged(); }
void MasterLink::dataSetChanged() { m_detail->masterChanged(); }
void MasterLink::scrolled() { m_detail->masterChanged(); }

void MasterLink::recordChanged(TField *field) {
    if (!field) {
        m_detail->masterChanged();
        return;
    }
    const QStringList names = m_detail->MasterFields().split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &name : names) {
        if (name.trimmed().compare(field->FieldName(), Qt::CaseInsensitive) == 0) {
            m_detail->masterChanged();
            return;
        }
    }
}

void MasterLink::checkBrowseMode() {
    if (m_detail->Active())
        m_detail->CheckBrowseMode();
}
