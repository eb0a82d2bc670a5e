#include "data/datasets/TDataSource.h"
#include "data/datasets/StoreLog.h"
#include "data/datasets/TDataLink.h"
#include "data/datasets/TDataSet.h"

#include <algorithm>

TDataLink::~TDataLink() {
    if (m_dataSource)
        m_dataSource->removeLink(this);
}

void TDataLink::setDataSource(TDataSource *dataSource) {
    if (dataSource == m_dataSource)
        return;
    if (m_dataSource)
        m_dataSource->removeLink(this);
    m_dataSource = dataSource;
    if (m_dataSource)
        m_dataSource->addLink(this);
    activeChanged();
}

TDataSet *TDataLink::DataSet() const { return m_dataSource ? m_dataSource->DataSet() : nullptr; }

bool TDataLink::Active() const {
    TDataSet *ds = DataSet();
    return ds && ds->Active();
}

TDataSource::TDataSource(const QString &name, QObject *parent) : QObject(parent) { setObjectName(name); }

TDataSource::~TDataSource() {
    if (m_dataSet)
        m_dataSet->detachDataSource(this);
    // Links outlive their data source only at shutdown; let them forget it.
    // A detail told so finishes its pending edit; an edit the store refuses
    // stays pending with the detail, since nothing may leave a destructor.
    for (TDataLink *link : std::vector<TDataLink *>(m_links)) {
        try {
            link->setDataSource(nullptr);
        } catch (...) {
            qCDebug(storeLog).noquote() << objectName()
                                        << "gone; a detail's pending edit stays unwritten:" << caughtErrorText();
        }
    }
}

void TDataSource::setDataSet(TDataSet *dataSet) {
    if (dataSet == m_dataSet)
        return;
    if (m_dataSet)
        m_dataSet->detachDataSource(this);
    m_dataSet = dataSet;
    if (m_dataSet)
        m_dataSet->attachDataSource(this);
    dataEvent(DataEvent::ActiveChanged);
}

DataSetState TDataSource::State() const { return m_dataSet ? m_dataSet->State() : DataSetState::Inactive; }

void TDataSource::Edit() {
    if (m_autoEdit && State() == DataSetState::Browse)
        m_dataSet->Edit();
}

void TDataSource::addLink(TDataLink *link) { m_links.push_back(link); }

void TDataSource::removeLink(TDataLink *link) {
    m_links.erase(std::remove(m_links.begin(), m_links.end(), link), m_links.end());
}

void TDataSource::send(TDataLink *link, DataEvent event, TField *field) {
    switch (event) {
    case DataEvent::ActiveChanged: link->activeChanged(); break;
    case DataEvent::DataSetChanged: link->dataSetChanged(); break;
    case DataEvent::Scrolled: link->scrolled(); break;
    case DataEvent::RecordChanged: link->recordChanged(field); break;
    case DataEvent::StateChanged: link->stateChanged(); break;
    case DataEvent::UpdateRecord: link->updateData(); break;
    case DataEvent::CheckBrowseMode: link->checkBrowseMode(); break;
    case DataEvent::Posted: link->posted(); break;
    }
}

void TDataSource::dataEvent(DataEvent event, TField *field) {
    // A handler may bind or unbind links while we notify: work on a snapshot and
    // skip links that left in the meantime.
    const std::vector<TDataLink *> snapshot(m_links.rbegin(), m_links.rend());
    auto stillBound = [this](TDataLink *link) {
        return std::find(m_links.begin(), m_links.end(), link) != m_links.end();
    };
    for (bool details : {true, false}) {
        for (TDataLink *link : snapshot) {
            if (link->isDetailLink() == details && stillBound(link))
                send(link, event, field);
        }
    }
}
