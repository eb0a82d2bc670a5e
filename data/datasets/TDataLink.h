#pragma once
#include "data/datasets/DataEvent.h"

class TDataSet;
class TDataSource;
class TField;

/// Anything bound to a data source: a view, or a detail dataset's master link.
/// The data source calls these synchronously, inside the dataset operation.
class TDataLink {
public:
    virtual ~TDataLink();

    TDataSource *DataSource() const { return m_dataSource; }
    /// Binds to another data source (or none) and tells the link it changed.
    void setDataSource(TDataSource *dataSource);
    /// The bound data source's dataset, or nullptr.
    TDataSet *DataSet() const;
    /// Bound to an open dataset.
    bool Active() const;

    /// Details are told before views.
    virtual bool isDetailLink() const { return false; }

protected:
    friend class TDataSource;
    /// Bound to another dataset, or the dataset opened or closed.
    virtual void activeChanged() {}
    virtual void dataSetChanged() {}
    virtual void scrolled() {}
    /// field is the changed field, or nullptr for the whole row.
    virtual void recordChanged(TField *field) { (void)field; }
    virtual void stateChanged() {}
    virtual void updateData() {}
    virtual void checkBrowseMode() {}
    virtual void posted() {}

private:
    TDataSource *m_dataSource = nullptr;
};
