#pragma once
#include "data/datasets/TSqlDataSet.h"

class TADOConnection;

/// What the server datasets share: the connection they read and write through,
/// which the first of them to open connects.
class TCustomADODataSet : public TSqlDataSet {
    Q_OBJECT
public:
    using TSqlDataSet::TSqlDataSet;

    TADOConnection *Connection() const { return m_connection; }
    void setConnection(TADOConnection *connection) { m_connection = connection; }

protected:
    StoreConnection &store() const override;

private:
    TADOConnection *m_connection = nullptr;
};
