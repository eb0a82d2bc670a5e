// The data module over real stores: what is open after creation, the columns
// each query returns, and user text through the slots exactly as typed.
#include "data/Unit3.h"
#include "data/datasets/SqlLiteral.h"
#include "tests/support/ScriptedMessages.h"
#include "tests/support/StatementTrace.h"
#include "tests/support/TestStores.h"

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QTest>

namespace {
QStringList fieldNames(const TDataSet *ds) {
    QStringList names;
    for (int i = 0; i < ds->FieldCount(); ++i)
        names << ds->Fields(i)->FieldName();
    return names;
}

/// Every field of a dataset (name, type, size, whether it can be written) and
/// every value of its rows in its order, with its type.
QStringList contentsOf(const TDataSet *ds) {
    QStringList lines;
    for (int i = 0; i < ds->FieldCount(); ++i)
        lines << QStringLiteral("%1 %2 %3 %4")
                     .arg(ds->Fields(i)->FieldName())
                     .arg(int(ds->Fields(i)->DataType()))
                     .arg(ds->Fields(i)->Size())
                     .arg(ds->Fields(i)->ReadOnly());
    for (int row = 0; row < ds->RecordCount(); ++row)
        for (int i = 0; i < ds->FieldCount(); ++i)
            lines << QString::fromLatin1(ds->valueAt(row, *ds->Fields(i)).typeName()) + QLatin1Char(':') +
                         ds->valueAt(row, *ds->Fields(i)).toString();
    return lines;
}
} // namespace

class TestDataModule : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStores> stores;
    qint64 ivanov = 0, petrov = 0, sidorov = 0;

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void init() {
        stores = std::make_unique<TestStores>();
        ivanov = stores->addCustomer(QStringLiteral("Иван"), QStringLiteral("Иванов"), QStringLiteral("89161234567"));
        petrov = stores->addCustomer(QStringLiteral("Пётр"), QStringLiteral("Петров"), QStringLiteral("89031112233"),
                                     QStringLiteral("4951234567"));
        sidorov = stores->addCustomer(QString(), QStringLiteral("Сидоров"), QStringLiteral("89990000000"));
        stores->addCar(QStringLiteral("Лада Гранта"), QStringLiteral("XTA219000K0000001"), ivanov);
        stores->addCar(QStringLiteral("Kia Rio"), QStringLiteral("Z94CB41AAJR000002"), petrov);
        stores->addCar(QStringLiteral("Toyota Camry"), QStringLiteral("JTNB11HK003000003"), petrov);
        stores->addArchived(ivanov, QStringLiteral("Bosch"), QStringLiteral("0451103316"),
                            QStringLiteral("Фильтр масляный"), 2, 450, QStringLiteral("2026-03-14"));
        stores->addArchived(petrov, QStringLiteral("NGK"), QStringLiteral("BKR6E"), QStringLiteral("Свеча"), 4, 300,
                            QStringLiteral("2025-12-01"));
        stores->addCurrent(petrov, QStringLiteral("TRW"), QStringLiteral("GDB1330"), QStringLiteral("Колодки"), 1,
                           2500);
        stores->addCurrent(ivanov, QStringLiteral("Mann"), QStringLiteral("C 2774"), QStringLiteral("Фильтр воздушный"),
                           2, 800);
    }
    void cleanup() { stores.reset(); }

    void openOrClosedAfterCreation() {
        ScriptedMessagesGuard messages;
        TDataModule3 module(stores->settings());
        QVERIFY(messages->boxes().isEmpty());
        QVERIFY(module.ADOConnection1->Connected());
        for (TDataSet *open : std::initializer_list<TDataSet *>{module.ADOQuery1, module.Table1, module.ADOTable1,
                                                                module.ADOQuery2, module.ADOTable2, module.ADOQuery6,
                                                                module.ADOQuery7, module.ADOTable3, module.ADOQuery8})
            QVERIFY2(open->Active(), qPrintable(open->objectName()));
        for (TDataSet *closed : std::initializer_list<TDataSet *>{module.ADOQuery3, module.Query1, module.ADOQuery5,
                                                                  module.ADOTable4, module.ADOQuery9})
            QVERIFY2(!closed->Active(), qPrintable(closed->objectName()));
        for (int i = 1; i <= 9; ++i) {
            const QString name = QStringLiteral("DataSource%1").arg(i);
            QVERIFY2(module.findDataSource(name) && module.findDataSource(name)->DataSet(), qPrintable(name));
        }
        QCOMPARE(module.DataSource5->DataSet(), module.ADOTable2);
        QVERIFY(!module.ADOConnection1->LoginPrompt());
    }

    void columnsOfEveryQuery() {
        TDataModule3 module(stores->settings());
        QCOMPARE(fieldNames(module.ADOQuery1), (QStringList{"Номер", "Имя", "Фамилия", "телефон", "Доп.телефон"}));
        QCOMPARE(fieldNames(module.Table1), (QStringList{"IdCar", "Model", "Vin", "DVS", "KPP", "IdCust"}));
        QCOMPARE(fieldNames(module.ADOQuery2),
                 (QStringList{"idcust", "фирма", "Артикул", "Наименование", "Количество", "Цена(шт)", "Дата"}));
        QCOMPARE(fieldNames(module.ADOQuery6), QStringList{"Сумма за промежуток"});
        QCOMPARE(fieldNames(module.ADOQuery7), QStringList{"Сумма заказа"});
        QCOMPARE(fieldNames(module.ADOQuery8),
                 (QStringList{"name", "lmane", "firm", "number", "description", "Kol", "cena"}));
        QCOMPARE(fieldNames(module.ADOTable1),
                 (QStringList{"idcust", "Firm", "number", "description", "kol", "cena", "Date"}));

        QVERIFY(module.ADOQuery1->FieldByName(QStringLiteral("номер"))->ReadOnly());
        QCOMPARE(module.ADOQuery1->FieldByName(QStringLiteral("Имя"))->DisplayWidth(), 18);
        QCOMPARE(module.Table1->FieldByName(QStringLiteral("model"))->DisplayWidth(), 32);
        QVERIFY(module.Table1->FieldByName(QStringLiteral("IdCar"))->ReadOnly());

        // Dates as day.month.year text, totals over every line.
        module.ADOQuery2->First();
        QCOMPARE(module.ADOQuery2->FieldByName(QStringLiteral("Дата"))->AsString().trimmed(),
                 QStringLiteral("14.03.2026"));
        QCOMPARE(module.ADOQuery6->Fields(0)->AsFloat(), 2 * 450.0 + 4 * 300.0);
        QCOMPARE(module.ADOQuery7->Fields(0)->AsFloat(), 2500.0 + 2 * 800.0);
        QCOMPARE(module.ADOQuery8->RecordCount(), 2);
    }

    void startUpReadsEachRowOnceAheadOfTheWindows() {
        // Archive lines with nulls, Cyrillic and odd prices, and a customer
        // without a first name.
        for (int i = 0; i < 200; ++i)
            stores->sql(QStringLiteral("insert into orderAll(idcust, Firm, number, description, kol, cena, Date) "
                                       "values (?, ?, ?, ?, ?, ?, ?)"),
                        {i % 3 ? ivanov : petrov, i % 5 ? QVariant(QStringLiteral("Фирма %1").arg(i % 7)) : QVariant(),
                         QStringLiteral("N-%1").arg(i), QStringLiteral("Деталь №%1").arg(i % 11), i % 4 ? i : 0,
                         i % 6 ? QVariant(i * 10.25) : QVariant(),
                         i % 9 ? QVariant(QDate(2020, 1, 1).addDays(i).toString(Qt::ISODate)) : QVariant()});
        const int archived = stores->scalar(QStringLiteral("select count(*) from orderAll")).toInt();
        std::unique_ptr<StatementTrace> trace(TestStores::onServer() ? nullptr : new StatementTrace);
        TDataModule3 module(stores->settings());
        if (trace) {
            // The rows of a table two datasets hold are read from the store
            // once, and every reading of the database runs on a reader of its
            // own, not on the thread that builds the windows.
            int archiveRows = 0, customerRows = 0;
            const QHash<QString, StatementTrace::Reading> readings = trace->readings();
            for (auto it = readings.begin(); it != readings.end(); ++it) {
                const QString sql = it.key().toLower();
                if (!sql.contains(QLatin1String("__rowkey")))
                    continue;
                if (!sql.contains(QLatin1String(" join "))) {
                    archiveRows += sql.contains(QLatin1String("orderall")) ? it->rows : 0;
                    customerRows += sql.contains(QLatin1String("customer")) ? it->rows : 0;
                }
                QVERIFY2(!it->onOwnThread || sql.contains(QLatin1String("drevalonparadox")), qPrintable(it.key()));
            }
            QCOMPARE(archiveRows, archived);
            QCOMPARE(customerRows, 3);
        }
        // What each dataset took is what it reads on its own, field for field
        // and row for row.
        module.ADOTable1->setMasterSource(nullptr);
        TADOConnection connection(QStringLiteral("Alone"));
        connection.setStore(stores->settings().driver, stores->settings().database);
        TADOQuery archive(QStringLiteral("Archive")), customers(QStringLiteral("Customers"));
        TADOTable archiveTable(QStringLiteral("ArchiveTable")), customerTable(QStringLiteral("CustomerTable"));
        archive.SQL().setLines(module.ADOQuery2->SQL().lines());
        customers.SQL().setLines(module.ADOQuery1->SQL().lines());
        customers.setFieldDefs(module.ADOQuery1->fieldDefs());
        archiveTable.setTableName(QStringLiteral("orderAll"));
        archiveTable.setIndexFieldNames(QStringLiteral("idcust"));
        customerTable.setTableName(QStringLiteral("customer"));
        const std::pair<TDataSet *, TCustomADODataSet *> pairs[] = {{module.ADOQuery2, &archive},
                                                                    {module.ADOTable1, &archiveTable},
                                                                    {module.ADOQuery1, &customers},
                                                                    {module.ADOTable3, &customerTable}};
        for (const auto &[shared, alone] : pairs) {
            alone->setConnection(&connection);
            alone->Open();
            QCOMPARE(contentsOf(shared), contentsOf(alone));
        }
        QCOMPARE(module.ADOQuery2->RecordCount(), archived);
    }

    void detailsFollowTheirFirstMasterRow() {
        TDataModule3 module(stores->settings());
        QCOMPARE(module.ADOQuery1->FieldByName(QStringLiteral("Номер"))->AsInteger(), ivanov);
        QCOMPARE(module.Table1->RecordCount(), 1);
        QCOMPARE(module.Table1->FieldByName(QStringLiteral("Model"))->AsString(), QStringLiteral("Лада Гранта"));
        QCOMPARE(module.ADOTable1->RecordCount(), 1);
        QCOMPARE(module.ADOTable2->RecordCount(), 1);
        QCOMPARE(module.ADOTable2->FieldByName(QStringLiteral("Firm"))->AsString(), QStringLiteral("Mann"));
        module.ADOQuery1->Next();
        QCOMPARE(module.Table1->RecordCount(), 2);
        QCOMPARE(module.ADOTable1->FieldByName(QStringLiteral("Firm"))->AsString(), QStringLiteral("NGK"));
        // Customers found by nobody: the details are empty.
        module.ADOQuery1->SQL().setLine(2, QStringLiteral("where Name='Никто'"));
        module.ADOQuery1->Open();
        QVERIFY(module.ADOQuery1->IsEmpty());
        QVERIFY(module.Table1->IsEmpty());
        QVERIFY(module.ADOTable1->IsEmpty());
    }

    void typedTextRoundTripsThroughTheSlots_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("apostrophe") << QStringLiteral("O'Брайен");
        QTest::newRow("two apostrophes") << QStringLiteral("''");
        QTest::newRow("apostrophe closing") << QStringLiteral("x') --");
        QTest::newRow("colon marker") << QStringLiteral(":D1");
        QTest::newRow("two colons") << QStringLiteral("a::b");
        QTest::newRow("backslash") << QStringLiteral("C:\\путь");
        QTest::newRow("quotes") << QStringLiteral("\"Вася\"`");
    }
    void typedTextRoundTripsThroughTheSlots() {
        QFETCH(QString, name);
        TDataModule3 module(stores->settings());
        const QString phone = QStringLiteral("123");
        module.ADOQuery3->SQL().setLine(
            1, QStringLiteral("VALUES ('") +
                   QStringList{sqlLiteralBody(name), sqlLiteralBody(QStringLiteral("Фамилия")), phone, QString()}.join(
                       QStringLiteral("','")) +
                   QStringLiteral("')"));
        QCOMPARE(module.ADOQuery3->ExecSQL(), 1);
        QVERIFY(!module.ADOQuery3->Active());
        QCOMPARE(stores->scalar(QStringLiteral("select count(*) from customer")).toInt(), 4);

        module.ADOQuery1->SQL().setLine(2, QStringLiteral("where Name='") + sqlLiteralBody(name) + QStringLiteral("'"));
        module.ADOQuery1->Open();
        QCOMPARE(module.ADOQuery1->RecordCount(), 1);
        // Stored padded to the column's width; found by the text typed without blanks.
        QCOMPARE(module.ADOQuery1->FieldByName(QStringLiteral("Имя"))->AsString(),
                 name.leftJustified(15, QLatin1Char(' ')));
        QCOMPARE(module.ADOQuery1->FieldByName(QStringLiteral("Доп.телефон"))->AsString(),
                 QString(11, QLatin1Char(' ')));
    }

    void carInsertTakesTheOwnerNumberAsText() {
        TDataModule3 module(stores->settings());
        module.Query1->SQL().setLine(
            1, QStringLiteral("VALUES ('Volvo XC90','YV1CZ91H341000004','B5254T2','АКПП','%1')").arg(sidorov));
        module.Query1->ExecSQL();
        QCOMPARE(
            stores->carScalar(QStringLiteral("select typeof(IdCust) from drevalonParadox where Model='Volvo XC90'"))
                .toString(),
            QStringLiteral("real"));
        module.Table1->Close();
        module.ADOQuery1->Last();
        module.Table1->Open();
        QCOMPARE(module.Table1->RecordCount(), 1);
        QCOMPARE(module.Table1->FieldByName(QStringLiteral("IdCust"))->AsInteger(), sidorov);
    }

    void nothingPendingIsWrittenAtTheEnd() {
        {
            TDataModule3 module(stores->settings());
            module.ADOQuery1->Edit();
            module.ADOQuery1->FieldByName(QStringLiteral("Имя"))->setAsString(QStringLiteral("Изменено"));
            module.Table1->Edit();
            module.Table1->FieldByName(QStringLiteral("Model"))->setAsString(QStringLiteral("Изменено"));
        }
        QCOMPARE(stores->scalar(QStringLiteral("select count(*) from customer where Name = 'Изменено'")).toInt(), 0);
        QCOMPARE(
            stores->carScalar(QStringLiteral("select count(*) from drevalonParadox where Model = 'Изменено'")).toInt(),
            0);
    }

    void otherFilesOfTheAliasDirectoryAreLeftAlone() {
        // A copy of the car table, a file that is no table at all, and more
        // files than can be opened at once: none of them is the car table.
        QFile::copy(stores->carTablePath(), stores->settings().aliasDir + QStringLiteral("/backup.db"));
        QFile junk(stores->settings().aliasDir + QStringLiteral("/Thumbs.db"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
        junk.close();
        for (int i = 0; i < 12; ++i)
            QFile::copy(stores->carTablePath(), stores->settings().aliasDir + QStringLiteral("/copy%1.db").arg(i));
        TDataModule3 module(stores->settings());
        QVERIFY(module.Table1->Active());
        module.Query1->SQL().setLine(
            1, QStringLiteral("VALUES ('Volvo XC90','YV1CZ91H341000004','','','%1')").arg(sidorov));
        module.Query1->ExecSQL();
        QCOMPARE(stores->carScalar(QStringLiteral("select count(*) from drevalonParadox where IdCust = ?"), {sidorov})
                     .toInt(),
                 1);
    }

    void refreshKeepsTheBeginningAndEndMarks() {
        TDataModule3 module(stores->settings());
        TADOQuery *customers = module.ADOQuery1;
        QVERIFY(customers->Bof());
        customers->Refresh();
        QVERIFY(customers->Bof() && !customers->Eof());
        customers->Last();
        customers->Refresh();
        QVERIFY(customers->Eof() && !customers->Bof());
        customers->Prior();
        customers->Refresh();
        QVERIFY(!customers->Eof() && !customers->Bof());
    }

    void orderLinesOfTheCheckListLeaveCustomersAlone() {
        TDataModule3 module(stores->settings());
        module.ADOQuery8->First();
        module.ADOQuery8->Delete();
        QCOMPARE(stores->scalar(QStringLiteral("select count(*) from orderNow")).toInt(), 1);
        QCOMPARE(stores->scalar(QStringLiteral("select count(*) from customer")).toInt(), 3);
    }
};

QTEST_MAIN(TestDataModule)
#include "tst_datamodule.moc"
