#pragma once
#include "data/datasets/TDataLink.h"

#include <QStringList>

/// The detail side of a master-detail link: bound to the master's data source,
/// it makes the detail finish its pending edit when the master asks, and
/// re-evaluate its restriction whenever the master's current row may differ.
class MasterLink : public TDataLink {
public:
    explicit MasterLink(TDataSet *detail) : m_detail(detail) {}
    bool isDetailLink() const override { return true; }

protected:
    void activeChanged() override;
    void dataSetChanged() override;
    void scrolled() override;
    void recordChanged(TField *field) override;
    void checkBrowseMode() override;

private:
    TDataSet *m_detail;
};
