#include "data/Unit3.h"
#include "data/StatementSlots.h"
#include "data/datasets/LocalEngine.h"
#include "data/datasets/StoreLog.h"
#include "platform/CreationOrder.h"
#include "platform/ErrorFunnel.h"
#include "platform/Exception.h"
#include "platform/RestoreMark.h"
#include "platform/Workstation.h"

#include <QFileInfo>
#include <QSqlQuery>

#include <QSysInfo>

TDataModule3 *DataModule3 = nullptr;

namespace {
// A server component that fails while the module comes up is reported and
// passed over; it stays closed and the next open tries to connect again.
void bringUpServer(const std::function<void()> &step) {
    try {
        step();
    } catch (const std::exception &error) {
        ErrorFunnel::report(error);
    }
}

QString connectionString(const QString &database) {
    const QString host = QSysInfo::machineHostName();
    const QStringList pairs = {
        QStringLiteral("Provider=SQLOLEDB.1"),
        QStringLiteral("Integrated Security=SSPI"),
        QStringLiteral("Persist Security Info=False"),
        QStringLiteral("Initial Catalog=") + database,
        QStringLiteral("Data Source=") + host + QStringLiteral("\\SQLEXPRESS"),
        QStringLiteral("Use Procedure for Prepare=1"),
        QStringLiteral("Auto Translate=True"),
        QStringLiteral("Packet Size=4096"),
        QStringLiteral("Workstation ID=") + host,
        QStringLiteral("Use Encryption for Data=False"),
        QStringLiteral("Tag with column collation when possible=False"),
    };
    return pairs.join(QLatin1Char(';'));
}
} // namespace

TDataModule3::TDataModule3(const StoreSettings &settings, const std::function<void(TDataModule3 &)> &bindPending,
                           QObject *parent)
    : QObject(parent), m_creationSerial(CreationOrder::next()), m_workstation(Workstation::name(settings.workstation)) {
    setObjectName(QStringLiteral("DataModule3"));
    createComponents(settings);
    writeStatements();
    declareFields();
    linkComponents();
    if (bindPending)
        bindPending(*this);
    bringUp();
}

TDataModule3::~TDataModule3() {
    // Nothing pending is written at exit: drop every edit first, so unbinding
    // and closing have nothing left to post.
    // Details first: a master's cancel makes its details finish their edits.
    const QList<TDataSet *> dataSets = findChildren<TDataSet *>(QString(), Qt::FindDirectChildrenOnly);
    for (bool details : {true, false})
        for (TDataSet *ds : dataSets)
            if ((ds->MasterSource() != nullptr) == details) {
                try {
                    ds->Cancel();
                } catch (...) {
                    qCDebug(storeLog).noquote() << ds->objectName() << "edit not dropped at exit:" << caughtErrorText();
                }
            }
    for (auto it = dataSets.rbegin(); it != dataSets.rend(); ++it) {
        try {
            (*it)->setMasterSource(nullptr);
            (*it)->Close();
        } catch (...) {
            qCDebug(storeLog).noquote() << (*it)->objectName() << "not closed at exit:" << caughtErrorText();
        }
    }
    ADOConnection1->Close();
}

void TDataModule3::createComponents(const StoreSettings &settings) {
    m_engine = std::make_unique<LocalEngine>(QStringLiteral("drevalon"), settings.aliasDir);

    // The order of the module: the order the components are brought up in.
    DataSource2 = new TDataSource(QStringLiteral("DataSource2"), this);
    ADOQuery1 = new TADOQuery(QStringLiteral("ADOQuery1"), this);
    DataSource1 = new TDataSource(QStringLiteral("DataSource1"), this);
    DataSource3 = new TDataSource(QStringLiteral("DataSource3"), this);
    DataSource4 = new TDataSource(QStringLiteral("DataSource4"), this);
    Table1 = new TTable(QStringLiteral("Table1"), this);
    ADOQuery2 = new TADOQuery(QStringLiteral("ADOQuery2"), this);
    ADOQuery3 = new TADOQuery(QStringLiteral("ADOQuery3"), this);
    ADOConnection1 = new TADOConnection(QStringLiteral("ADOConnection1"), this);
    Query1 = new TQuery(QStringLiteral("Query1"), this);
    DataSource5 = new TDataSource(QStringLiteral("DataSource5"), this);
    ADOTable2 = new TADOTable(QStringLiteral("ADOTable2"), this);
    ADOQuery5 = new TADOQuery(QStringLiteral("ADOQuery5"), this);
    ADOTable1 = new TADOTable(QStringLiteral("ADOTable1"), this);
    ADOQuery6 = new TADOQuery(QStringLiteral("ADOQuery6"), this);
    DataSource6 = new TDataSource(QStringLiteral("DataSource6"), this);
    DataSource7 = new TDataSource(QStringLiteral("DataSource7"), this);
    ADOQuery7 = new TADOQuery(QStringLiteral("ADOQuery7"), this);
    ADOTable3 = new TADOTable(QStringLiteral("ADOTable3"), this);
    DataSource8 = new TDataSource(QStringLiteral("DataSource8"), this);
    ADOTable4 = new TADOTable(QStringLiteral("ADOTable4"), this);
    ADOQuery8 = new TADOQuery(QStringLiteral("ADOQuery8"), this);
    DataSource9 = new TDataSource(QStringLiteral("DataSource9"), this);
    ADOQuery9 = new TADOQuery(QStringLiteral("ADOQuery9"), this);

    ADOConnection1->setStore(settings.driver, settings.database);
    ADOConnection1->setConnectionString(connectionString(settings.database));
    ADOConnection1->setLoginPrompt(false);
    for (TADOQuery *query : {ADOQuery1, ADOQuery2, ADOQuery3, ADOQuery5, ADOQuery6, ADOQuery7, ADOQuery8, ADOQuery9})
        query->setConnection(ADOConnection1);
    for (TADOTable *table : {ADOTable1, ADOTable2, ADOTable3, ADOTable4})
        table->setConnection(ADOConnection1);
    Table1->setEngine(m_engine.get());
    Table1->setDatabaseName(QStringLiteral("drevalon"));
    Query1->setEngine(m_engine.get());
    Query1->setDatabaseName(QStringLiteral("drevalon"));
}

void TDataModule3::writeStatements() {
    ADOQuery1->SQL().setLines({
        QStringLiteral("select idcust as 'Номер',  Name as 'Имя', lmane as 'Фамилия', phone as 'телефон', "
                       "phone2 as 'Доп.телефон'"),
        QStringLiteral("from customer"),
        QStringLiteral(" "),
    });
    ADOQuery2->SQL().setLines({
        QStringLiteral("select idcust,Firm as фирма,number as Артикул, description as Наименование, "
                       "kol as Количество,cena as [Цена(шт)] , Convert(char(11),date,104) as [Дата]"),
        QStringLiteral("from [orderAll]"),
        QString(),
        QString(),
        QString(),
    });
    ADOQuery3->SQL().setLines(
        {QStringLiteral("insert into customer(Name, lmane, phone, phone2)"), QString(), QString(), QString()});
    Query1->SQL().setLines(
        {QStringLiteral("insert into drevalonParadox(model,vin,dvs,kpp,idcust)"), QString(), QString(), QString()});
    ADOQuery6->SQL().setLines({QStringLiteral("select sum(cena*Kol) as [Сумма за промежуток]"),
                               QStringLiteral("from orderAll"), QStringLiteral(" ")});
    // Each statement over orderNow ends in a slot for the workstation's lines,
    // written once the database is known (keepOrderLinesApart).
    ADOQuery7->SQL().setLines({QStringLiteral("select sum(Kol*Cena) as [Сумма заказа]"),
                               QStringLiteral("from orderNow"), QStringLiteral(" ")});
    ADOQuery8->SQL().setLines({QStringLiteral("select c.name, c.lmane, n.firm, n.number, n.description, n.Kol, n.cena"),
                               QStringLiteral("from customer c join ordernow n "),
                               QStringLiteral("on n.idcust=c.idcust"), QStringLiteral(" ")});
    // Rows of the check list are order lines: deleting one removes it from orderNow only.
    ADOQuery8->setUniqueTable(QStringLiteral("ordernow"));
    ADOQuery9->SQL().setLines({QStringLiteral("delete from ordernow"), QStringLiteral(" ")});

    ADOQuery1->setPrepared(true);
    ADOQuery2->setFiltered(true);
    // The archive is sorted by its date too, which it shows only converted.
    ADOQuery2->setOrderColumns({QStringLiteral("Date")});
    ADOQuery5->setFiltered(true);
    for (TADOQuery *query : {ADOQuery3, ADOQuery9})
        query->setCursorType(TCursorType::ctUnspecified);
}

void TDataModule3::declareFields() {
    ADOQuery1->setFieldDefs({
        {QStringLiteral("Номер"), FieldType::AutoInc, 0, 9, true},
        {QStringLiteral("Имя"), FieldType::FixedWideChar, 15, 18, false},
        {QStringLiteral("Фамилия"), FieldType::FixedWideChar, 15, 18, false},
        {QStringLiteral("телефон"), FieldType::FixedWideChar, 11, 13, false},
        {QStringLiteral("Доп.телефон"), FieldType::FixedWideChar, 11, 14, false},
    });
    Table1->setFieldDefs({
        {QStringLiteral("IdCar"), FieldType::AutoInc, 0, 12, true},
        {QStringLiteral("Model"), FieldType::String, 30, 32, false},
        {QStringLiteral("Vin"), FieldType::String, 17, 21, false},
        {QStringLiteral("DVS"), FieldType::String, 10, 12, false},
        {QStringLiteral("KPP"), FieldType::String, 4, 7, false},
        {QStringLiteral("IdCust"), FieldType::Float, 0, 12, false},
    });
}

void TDataModule3::linkComponents() {
    ADOTable1->setTableName(QStringLiteral("orderAll"));
    ADOTable1->setIndexFieldNames(QStringLiteral("idcust"));
    ADOTable2->setTableName(QStringLiteral("orderNow"));
    ADOTable2->setIndexFieldNames(QStringLiteral("idcust"));
    ADOTable3->setTableName(QStringLiteral("customer"));
    ADOTable4->setTableName(QStringLiteral("IP"));
    Table1->setTableName(QStringLiteral("drevalonParadox.db"));
    Table1->setIndexName(QStringLiteral("_CUST"));

    DataSource1->setDataSet(ADOQuery1);
    DataSource2->setDataSet(Table1);
    DataSource3->setDataSet(ADOTable1);
    DataSource4->setDataSet(ADOQuery2);
    DataSource5->setDataSet(ADOTable2);
    DataSource6->setDataSet(ADOQuery6);
    DataSource7->setDataSet(ADOQuery7);
    DataSource8->setDataSet(ADOTable3);
    DataSource9->setDataSet(ADOQuery8);

    ADOTable1->setMasterSource(DataSource1);
    ADOTable1->setMasterFields(QStringLiteral("Номер"));
    Table1->setMasterSource(DataSource1);
    Table1->setMasterFields(QStringLiteral("Номер"));
    ADOTable2->setMasterSource(DataSource8);
    ADOTable2->setMasterFields(QStringLiteral("Idcust"));
}

void TDataModule3::bringUp() {
    // Every reading of the server starts at once, on connections of its own,
    // and is taken when its dataset's turn comes; datasets that hold the same
    // rows of one table share one reading.
    ADOQuery2->prefetchWith(*ADOTable1);
    keepOrderLinesApart();
    // Without a connection there is nothing to read ahead: each open tries
    // again in its turn, and says why it failed.
    if (ADOConnection1->Connected()) {
        ADOQuery1->prefetchWith(*ADOTable3);
        for (TSqlDataSet *dataSet : std::initializer_list<TSqlDataSet *>{ADOQuery6, ADOTable2, ADOQuery7, ADOQuery8})
            dataSet->prefetch();
    }
    bringUpServer([this] { ADOQuery1->Open(); });
    settleInterruptedRestore(); // not caught either: no car table that may not be the database's
    Table1->Open();             // not caught: without the car table the program cannot start
    bringUpServer([this] { ADOQuery2->Open(); });
    bringUpServer([this] { ADOConnection1->setConnected(true); });
    bringUpServer([this] { ADOTable2->Open(); });
    bringUpServer([this] { ADOTable1->Open(); });
    bringUpServer([this] { ADOQuery6->Open(); });
    bringUpServer([this] { ADOQuery7->Open(); });
    bringUpServer([this] { ADOTable3->Open(); });
    bringUpServer([this] { ADOQuery8->Open(); });
}

void TDataModule3::settleInterruptedRestore() {
    const QString carTable = m_engine->tableFile(QStringLiteral("drevalonParadox.db"));
    if (!QFileInfo::exists(RestoreMark::markPath(carTable)))
        return;
    const RestoreMark::Outcome outcome = RestoreMark::settle(carTable, [this](const QString &transaction) {
        try {
            ADOConnection1->setConnected(true);
            QSqlQuery status(ADOConnection1->database());
            if (status.prepare(QStringLiteral("select pg_xact_status(?::xid8)"))) {
                status.addBindValue(transaction);
                if (status.exec() && status.next())
                    return status.value(0).toString();
            }
        } catch (...) {
            qCWarning(storeLog).noquote() << "the server could not be asked how a restore ended:" << caughtErrorText();
        }
        return QString();
    });
    if (outcome == RestoreMark::Outcome::Old || outcome == RestoreMark::Outcome::New) {
        qCWarning(storeLog).noquote() << "a restore stopped before its end was settled:"
                                      << (outcome == RestoreMark::Outcome::New ? "its car table put in place"
                                                                               : "the stores kept as they were");
        return;
    }
    throw Exception(QStringLiteral("Восстановление из резервной копии было прервано, и сервер не сообщает, "
                                   "завершилось ли оно (%1). Запустите программу позже или повторите восстановление.")
                        .arg(RestoreMark::markPath(carTable)));
}

void TDataModule3::keepOrderLinesApart() {
    // The store says; one that cannot be asked now is taken to be as this
    // program makes them, so that no line is ever written without its
    // workstation (an older store then refuses the statements, and says so).
    if (ADOConnection1->Connected()) {
        try {
            m_ownOrderLines = ADOConnection1->dialect().hasColumn(
                ADOConnection1->database(), QStringLiteral("orderNow"), QStringLiteral("station"));
        } catch (...) {
            qCDebug(storeLog).noquote() << "order lines taken to be kept apart; the store did not tell:"
                                        << caughtErrorText();
        }
    }
    if (!m_ownOrderLines) {
        qCWarning(storeLog).noquote() << "the database is from before each workstation kept its own order: every "
                                         "order line is shared by all workstations until drevalon-stores --upgrade";
        return;
    }
    ADOTable2->setScope(QStringLiteral("station"), m_workstation);
    narrowToWorkstation(*ADOQuery7, StatementSlots::totalStation);
    narrowToWorkstation(*ADOQuery8, StatementSlots::checkListStation, QStringLiteral("n"));
    narrowToWorkstation(*ADOQuery9, StatementSlots::deletionStation);
}

void TDataModule3::narrowToWorkstation(TADOQuery &query, int line, const QString &qualifier) const {
    if (!m_ownOrderLines) {
        query.SQL().setLine(line, QStringLiteral(" "));
        return;
    }
    // Named before the text names it, so the rebuilt parameters keep the value.
    TParameters &parameters = query.Parameters();
    TParameter *station = parameters.FindParam(QStringLiteral("station"));
    if (!station) {
        station = &parameters.AddParameter();
        station->Name = QStringLiteral("station");
    }
    station->Value = m_workstation;
    const QString column = qualifier.isEmpty() ? QStringLiteral("station") : qualifier + QStringLiteral(".station");
    query.SQL().setLine(line, QStringLiteral("where %1 = :station").arg(column));
}

TDataSource *TDataModule3::findDataSource(const QString &name) const {
    return findChild<TDataSource *>(name, Qt::FindDirectChildrenOnly);
}

TDataSet *TDataModule3::findDataSet(const QString &name) const {
    return findChild<TDataSet *>(name, Qt::FindDirectChildrenOnly);
}
