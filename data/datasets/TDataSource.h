#pragma once
#include "data/datasets/DataEvent.h"

#include <QObject>
#include <vector>

class TDataLink;
class TDataSet;
class TField;

/// Binds views and detail datasets to one dataset, which may be changed at run
/// time. It relays every event of the dataset synchronously: first to the details
/// bound to it, then to its views, each group from the most recently bound.
class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(const QString &name, QObject *parent = nullptr);
    ~TDataSource() override;

    TDataSet *DataSet() const { return m_dataSet; }
    void setDataSet(TDataSet *dataSet);
    bool AutoEdit() const { return m_autoEdit; }
    void setAutoEdit(bool on) { m_autoEdit = on; }
    DataSetState State() const;
    /// Starts editing the current row when AutoEdit is on and the dataset browses.
    void Edit();

    // Called by TDataLink and TDataSet.
    void addLink(TDataLink *link);
    void removeLink(TDataLink *link);
    void dataEvent(DataEvent event, TField *field = nullptr);

private:
    void send(TDataLink *link, DataEvent event, TField *field);

    TDataSet *m_dataSet = nullptr;
    bool m_autoEdit = true;
    std::vector<TDataLink *> m_links;
};
