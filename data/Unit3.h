#pragma once
#include "data/StoreSettings.h"
#include "data/datasets/TADOConnection.h"
#include "data/datasets/TADOQuery.h"
#include "data/datasets/TADOTable.h"
#include "data/datasets/TDataSource.h"
#include "data/datasets/TQuery.h"
#include "data/datasets/TTable.h"

#include <QObject>
#include <functional>
#include <memory>

class LocalEngine;

/// The single owner of all data access: the connection, every dataset and every
/// data source, configured here and nowhere else. Creating it brings the
/// components up in their fixed order; a server component that fails is reported
/// and stays closed, while a failure of the local car table ends the creation.
class TDataModule3 : public QObject {
    Q_OBJECT
public:
    /// bindPending runs once every component exists and before any opens: the
    /// main window binds its views to the module there.
    explicit TDataModule3(const StoreSettings &settings, const std::function<void(TDataModule3 &)> &bindPending = {},
                          QObject *parent = nullptr);
    ~TDataModule3() override;

    TDataSource *findDataSource(const QString &name) const;
    /// When the module was created among the program's objects.
    int creationSerial() const { return m_creationSerial; }
    TDataSet *findDataSet(const QString &name) const;

    /// The name this workstation's order lines carry.
    const QString &workstation() const { return m_workstation; }
    /// Whether the database keeps each workstation's order lines apart; a
    /// store made before it did shares one current order among all.
    bool ownOrderLines() const { return m_ownOrderLines; }
    /// Writes into line `line` of an order-line statement the condition that
    /// narrows it to this workstation's lines (`qualifier`: the alias of
    /// orderNow), with the name as the bound value of :station; " " on a
    /// store that shares them.
    void narrowToWorkstation(TADOQuery &query, int line, const QString &qualifier = QString()) const;

    TADOConnection *ADOConnection1;
    TADOQuery *ADOQuery1;
    TTable *Table1;
    TADOTable *ADOTable1;
    TADOQuery *ADOQuery2;
    TADOQuery *ADOQuery3;
    TQuery *Query1;
    TADOTable *ADOTable2;
    TADOQuery *ADOQuery5;
    TADOQuery *ADOQuery6;
    TADOQuery *ADOQuery7;
    TADOTable *ADOTable3;
    TADOTable *ADOTable4;
    TADOQuery *ADOQuery8;
    TADOQuery *ADOQuery9;
    TDataSource *DataSource1;
    TDataSource *DataSource2;
    TDataSource *DataSource3;
    TDataSource *DataSource4;
    TDataSource *DataSource5;
    TDataSource *DataSource6;
    TDataSource *DataSource7;
    TDataSource *DataSource8;
    TDataSource *DataSource9;

private:
    void createComponents(const StoreSettings &settings);
    void writeStatements();
    void declareFields();
    void linkComponents();
    void bringUp();
    /// Tells from the database whether order lines are kept apart and narrows
    /// every dataset over orderNow to this workstation's.
    void keepOrderLinesApart();
    /// Settles what a server restore killed before its end left beside the
    /// car table, so that the database and the car table are one pair.
    void settleInterruptedRestore();

    std::unique_ptr<LocalEngine> m_engine;
    int m_creationSerial;
    QString m_workstation;
    bool m_ownOrderLines = true;
};

/// The single instance, created at start-up after the main window.
extern TDataModule3 *DataModule3;
