// Master-detail over real stores: a detail holds exactly the rows of its
// master's current key, follows every move, opens and closes with the link,
// and never lets the master leave a detail row that could not be written.
#include "data/Unit3.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/LocalEngine.h"
#include "data/datasets/TADOConnection.h"
#include "data/datasets/TADOQuery.h"
#include "data/datasets/TADOTable.h"
#include "data/datasets/TDataSource.h"
#include "data/datasets/TTable.h"
#include "tests/support/Errors.h"
#include "tests/support/ScriptedMessages.h"
#include "tests/support/TestStores.h"

#include <QHash>
#include <QLocale>
#include <QRandomGenerator>
#include <QTest>
#include <functional>
#include <memory>

namespace {
const QString notLocatedForUpdate =
    QStringLiteral("Row cannot be located for updating. Some values may have been changed since it was last read.");

const QStringList customerQuery = {
    QStringLiteral("select idcust as 'Номер',  Name as 'Имя', lmane as 'Фамилия', phone as 'телефон', "
                   "phone2 as 'Доп.телефон'"),
    QStringLiteral("from customer"),
    QStringLiteral(" "),
};

// Rows per owner as the store counts them, read in one statement.
QHash<qint64, int> rowsPerOwner(const QVariant &pairs) {
    QHash<qint64, int> out;
    for (const QString &pair : pairs.toString().split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList kv = pair.split(QLatin1Char(':'));
        out.insert(kv[0].toLongLong(), kv[1].toInt());
    }
    return out;
}
QHash<qint64, int> carsPerOwner(const TestStores &stores) {
    return rowsPerOwner(stores.carScalar(QStringLiteral("select group_concat(k || ':' || n, ';') from "
                                                        "(select cast(IdCust as integer) as k, count(*) as n from "
                                                        "drevalonParadox where IdCust is not null group by IdCust)")));
}
QHash<qint64, int> linesPerOwner(const TestStores &stores, const QString &table) {
    return rowsPerOwner(
        stores
            .column(QStringLiteral("select idcust || ':' || count(*) from %1 where idcust is not null group by idcust")
                        .arg(table))
            .join(QLatin1Char(';')));
}

// Empty when the detail holds exactly `expected` rows, all of them with the key.
QString mismatch(const TDataSet &detail, const QString &linkField, const QVariant &key, int expected) {
    if (detail.RecordCount() != expected)
        return QStringLiteral("%1 holds %2 rows for key %3, the store has %4")
            .arg(detail.objectName())
            .arg(detail.RecordCount())
            .arg(key.toString())
            .arg(expected);
    const TField *link = detail.FieldByName(linkField);
    for (int row = 0; row < detail.RecordCount(); ++row) {
        const QVariant value = detail.valueAt(row, *link);
        if (value.isNull() || key.isNull() || value.toDouble() != key.toDouble())
            return QStringLiteral("%1 row %2 belongs to %3, not to %4")
                .arg(detail.objectName())
                .arg(row)
                .arg(value.toString(), key.toString());
    }
    return QString();
}

// The shop every test starts from. Customers in store order: Ivan, Pyotr, Anna,
// Oleg; some cars and order lines belong to nobody or to no existing customer.
struct Shop {
    Shop() {
        ivan = stores.addCustomer(QStringLiteral("Иван"), QStringLiteral("Иванов"), QStringLiteral("1"));
        pyotr = stores.addCustomer(QStringLiteral("Пётр"), QStringLiteral("Петров"), QStringLiteral("2"));
        anna = stores.addCustomer(QStringLiteral("Анна"), QStringLiteral("Сидорова"), QStringLiteral("3"));
        oleg = stores.addCustomer(QStringLiteral("Олег"), QStringLiteral("Орлов"), QStringLiteral("4"));
        stores.addCar(QStringLiteral("Lada Granta"), QStringLiteral("V1"), ivan);
        stores.addCar(QStringLiteral("Kia Rio"), QStringLiteral("V2"), oleg);
        stores.addCar(QStringLiteral("Lada Vesta"), QStringLiteral("V3"), ivan);
        stores.addCar(QStringLiteral("Toyota Camry"), QStringLiteral("V4"), anna);
        stores.addCar(QStringLiteral("BMW X5"), QStringLiteral("V5"), oleg);
        stores.addCar(QStringLiteral("Audi A4"), QStringLiteral("V6"), oleg);
        stores.addCar(QStringLiteral("Volvo S60"), QStringLiteral("V7"), 99);
        stores.carSql(QStringLiteral("insert into drevalonParadox(Model, Vin) values ('Nobody''s car', 'V8')"));
        stores.addArchived(ivan, QStringLiteral("Mann"), QStringLiteral("A1"), QStringLiteral("d"), 1, 10,
                           QStringLiteral("2025-01-10"));
        stores.addArchived(oleg, QStringLiteral("Bosch"), QStringLiteral("A2"), QStringLiteral("d"), 2, 20,
                           QStringLiteral("2025-01-11"));
        stores.addArchived(ivan, QStringLiteral("NGK"), QStringLiteral("A3"), QStringLiteral("d"), 3, 30,
                           QStringLiteral("2025-01-12"));
        stores.addArchived(pyotr, QStringLiteral("TRW"), QStringLiteral("A4"), QStringLiteral("d"), 4, 40,
                           QStringLiteral("2025-01-13"));
        stores.addArchived(ivan, QStringLiteral("Febi"), QStringLiteral("A5"), QStringLiteral("d"), 5, 50,
                           QStringLiteral("2025-01-14"));
        stores.addArchived(oleg, QStringLiteral("Bosch"), QStringLiteral("A6"), QStringLiteral("d"), 6, 60,
                           QStringLiteral("2025-01-15"));
        stores.sql(QStringLiteral("insert into orderAll(Firm, number) values ('Nobody', 'A7')"));
        stores.addCurrent(oleg, QStringLiteral("Mann"), QStringLiteral("N1"), QStringLiteral("d"), 1, 10);
        stores.addCurrent(ivan, QStringLiteral("NGK"), QStringLiteral("N2"), QStringLiteral("d"), 2, 20);
        stores.addCurrent(oleg, QStringLiteral("TRW"), QStringLiteral("N3"), QStringLiteral("d"), 3, 30);
        stores.sql(QStringLiteral("insert into orderNow(Firm, number) values ('Nobody', 'N4')"));
    }
    int cars(const QVariant &owner) const {
        return stores.carScalar(QStringLiteral("select count(*) from drevalonParadox where IdCust = ?"), {owner})
            .toInt();
    }
    int lines(const QString &table, const QVariant &owner) const {
        return stores.scalar(QStringLiteral("select count(*) from %1 where idcust = ?").arg(table), {owner}).toInt();
    }
    // Both details of the customer query against the store, for its current row.
    QString detailsMismatch(TDataModule3 &module) const {
        const QVariant key = module.ADOQuery1->FieldByName(QStringLiteral("Номер"))->Value();
        QString out = mismatch(*module.Table1, QStringLiteral("IdCust"), key, key.isNull() ? 0 : cars(key));
        if (out.isEmpty())
            out = mismatch(*module.ADOTable1, QStringLiteral("idcust"), key,
                           key.isNull() ? 0 : lines(QStringLiteral("orderAll"), key));
        return out;
    }

    TestStores stores;
    qint64 ivan = 0, pyotr = 0, anna = 0, oleg = 0;
};

qint64 keyOf(const TDataSet *master) { return master->FieldByName(QStringLiteral("Номер"))->AsInteger(); }
} // namespace

class TestMasterDetail : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void linkFieldsComeFromTheDetailIndex_data() {
        QTest::addColumn<bool>("localTable");
        QTest::newRow("server table, IndexFieldNames") << false;
        QTest::newRow("local table, IndexName") << true;
    }
    void linkFieldsComeFromTheDetailIndex() {
        QFETCH(bool, localTable);
        Shop shop;
        // The detail has no field named like the master's: the link can only
        // come from the first field of its index; the rest of the index orders.
        shop.stores.carSql(QStringLiteral("create index _OWNER_MODEL on drevalonParadox (IdCust, Model)"));
        TADOConnection connection(QStringLiteral("ADOConnection1"));
        connection.setStore(shop.stores.settings().driver, shop.stores.settings().database);
        LocalEngine engine(QStringLiteral("drevalon"), shop.stores.settings().aliasDir);
        TADOQuery customers(QStringLiteral("ADOQuery1"));
        customers.setConnection(&connection);
        customers.SQL().setLines(customerQuery);
        TDataSource source(QStringLiteral("DataSource1"));
        source.setDataSet(&customers);

        std::unique_ptr<TDataSet> detail;
        QString link, order;
        if (localTable) {
            auto cars = std::make_unique<TTable>(QStringLiteral("Table1"));
            cars->setEngine(&engine);
            cars->setTableName(QStringLiteral("drevalonParadox.db"));
            cars->setIndexName(QStringLiteral("_OWNER_MODEL"));
            detail = std::move(cars);
            link = QStringLiteral("IdCust");
            order = QStringLiteral("Model");
        } else {
            auto archive = std::make_unique<TADOTable>(QStringLiteral("ADOTable1"));
            archive->setConnection(&connection);
            archive->setTableName(QStringLiteral("orderAll"));
            archive->setIndexFieldNames(QStringLiteral("idcust;Firm"));
            detail = std::move(archive);
            link = QStringLiteral("idcust");
            order = QStringLiteral("Firm");
        }
        detail->setMasterSource(&source);
        detail->setMasterFields(QStringLiteral("Номер"));
        customers.Open();
        detail->Open();
        QVERIFY(detail->linkEngaged());
        for (int i = 0; i < customers.RecordCount(); ++i) {
            customers.setRecNo(i);
            const qint64 key = keyOf(&customers);
            const int expected = localTable ? shop.cars(key) : shop.lines(QStringLiteral("orderAll"), key);
            QCOMPARE(mismatch(*detail, link, key, expected), QString());
            QStringList seen;
            for (int row = 0; row < detail->RecordCount(); ++row)
                seen << detail->valueAt(row, *detail->FieldByName(order)).toString();
            QStringList sorted = seen;
            sorted.sort();
            QCOMPARE(seen, sorted);
        }
    }

    void linkEngagedOnlyWhileTheMasterIsOpenAndFieldsAreNamed_data() {
        QTest::addColumn<QString>("disengage");
        QTest::newRow("master fields emptied") << "fields";
        QTest::newRow("master closed") << "close";
        QTest::newRow("master source removed") << "source";
    }
    void linkEngagedOnlyWhileTheMasterIsOpenAndFieldsAreNamed() {
        QFETCH(QString, disengage);
        Shop shop;
        ScriptedMessagesGuard messages;
        TDataModule3 module(shop.stores.settings());
        TADOQuery *customers = module.ADOQuery1;
        customers->setRecNo(3); // Oleg
        QVERIFY(module.Table1->linkEngaged());
        QCOMPARE(module.Table1->RecordCount(), 3);
        module.Table1->Next();

        if (disengage == QLatin1String("fields")) {
            module.Table1->setMasterFields(QString());
            module.ADOTable1->setMasterFields(QString());
        } else if (disengage == QLatin1String("close")) {
            customers->Close();
        } else {
            module.Table1->setMasterSource(nullptr);
            module.ADOTable1->setMasterSource(nullptr);
        }
        for (TDataSet *detail : {static_cast<TDataSet *>(module.Table1), static_cast<TDataSet *>(module.ADOTable1)}) {
            QVERIFY2(!detail->linkEngaged(), qPrintable(detail->objectName()));
            QVERIFY(detail->Active());
        }
        QCOMPARE(module.Table1->RecordCount(), 8);
        QCOMPARE(module.ADOTable1->RecordCount(), 7);
        QCOMPARE(module.Table1->RecordCount(),
                 shop.stores.carScalar(QStringLiteral("select count(*) from drevalonParadox")).toInt());
        // Disengaged details move over every row.
        module.Table1->Last();
        QCOMPARE(module.Table1->RecNo(), 7);

        if (disengage == QLatin1String("fields")) {
            module.Table1->setMasterFields(QStringLiteral("Номер"));
            module.ADOTable1->setMasterFields(QStringLiteral("Номер"));
        } else if (disengage == QLatin1String("close")) {
            customers->Open();
            customers->setRecNo(3);
        } else {
            module.Table1->setMasterSource(module.DataSource1);
            module.ADOTable1->setMasterSource(module.DataSource1);
        }
        QCOMPARE(keyOf(customers), shop.oleg);
        QVERIFY(module.Table1->linkEngaged());
        QCOMPARE(shop.detailsMismatch(module), QString());
        QCOMPARE(module.Table1->RecNo(), 0);
        QVERIFY(module.Table1->Bof());
        QCOMPARE(module.ADOTable1->RecNo(), 0);
    }

    void detailFollowsEveryMasterMove() {
        Shop shop;
        ScriptedMessagesGuard messages;
        TDataModule3 module(shop.stores.settings());
        TADOQuery *customers = module.ADOQuery1;
        struct Move {
            QString name;
            bool leavesRow; // the master stands on another customer afterwards
            std::function<void()> run;
        };
        const QList<Move> moves = {
            {"opened", false, [] {}},
            {"next", true, [&] { customers->Next(); }},
            {"next", true, [&] { customers->Next(); }},
            {"next", true, [&] { customers->Next(); }},
            {"next past the end", false, [&] { customers->Next(); }},
            {"prior", true, [&] { customers->Prior(); }},
            {"first", true, [&] { customers->First(); }},
            {"last", true, [&] { customers->Last(); }},
            {"row chosen", true, [&] { customers->setRecNo(1); }},
            {"move by two", true, [&] { customers->MoveBy(2); }},
            {"move back by three", true, [&] { customers->MoveBy(-3); }},
            {"refresh", false, [&] { customers->Refresh(); }},
        };
        for (const Move &move : moves) {
            // Leave the details on their last row: a move to another customer
            // brings them to its first row, staying keeps them where they are.
            module.Table1->Last();
            module.ADOTable1->Last();
            const int carRow = module.Table1->RecNo();
            const int lineRow = module.ADOTable1->RecNo();
            move.run();
            QVERIFY2(shop.detailsMismatch(module).isEmpty(),
                     qPrintable(move.name + QStringLiteral(": ") + shop.detailsMismatch(module)));
            for (TDataSet *detail :
                 {static_cast<TDataSet *>(module.Table1), static_cast<TDataSet *>(module.ADOTable1)}) {
                const int stayed = detail == module.Table1 ? carRow : lineRow;
                const int expected = move.leavesRow ? (detail->IsEmpty() ? -1 : 0) : stayed;
                QVERIFY2(detail->RecNo() == expected,
                         qPrintable(move.name + QStringLiteral(": ") + detail->objectName() +
                                    QStringLiteral(" on row %1, not %2").arg(detail->RecNo()).arg(expected)));
                QVERIFY(!move.leavesRow || detail->Bof());
            }
        }
        // The order lines follow the customer table the same way.
        for (int i = 0; i < module.ADOTable3->RecordCount(); ++i) {
            module.ADOTable3->setRecNo(i);
            const QVariant key = module.ADOTable3->FieldByName(QStringLiteral("idcust"))->Value();
            QCOMPARE(
                mismatch(*module.ADOTable2, QStringLiteral("idcust"), key, shop.lines(QStringLiteral("orderNow"), key)),
                QString());
        }
    }

    void detailHoldsOnlyOwnerlessRowsWhenTheMasterHasNoKey_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("no customers at all") << "none";
        QTest::newRow("the query finds nobody") << "nobody";
        QTest::newRow("the last customer deleted") << "deleted";
        QTest::newRow("a new customer being inserted") << "inserting";
    }
    void detailHoldsOnlyOwnerlessRowsWhenTheMasterHasNoKey() {
        QFETCH(QString, how);
        Shop shop;
        if (how == QLatin1String("none") || how == QLatin1String("deleted"))
            shop.stores.sql(QStringLiteral("delete from customer where idcust <> ?"), {shop.oleg});
        if (how == QLatin1String("none"))
            shop.stores.sql(QStringLiteral("delete from customer"));
        ScriptedMessagesGuard messages;
        TDataModule3 module(shop.stores.settings());
        TADOQuery *customers = module.ADOQuery1;
        if (how == QLatin1String("nobody")) {
            customers->SQL().setLine(2, QStringLiteral("where Name = 'Никто'"));
            customers->Open();
        } else if (how == QLatin1String("deleted")) {
            QCOMPARE(customers->RecordCount(), 1);
            QCOMPARE(module.Table1->RecordCount(), 3);
            customers->Delete();
        } else if (how == QLatin1String("inserting")) {
            customers->Last();
            customers->Insert();
        }
        QVERIFY(customers->FieldByName(QStringLiteral("Номер"))->IsNull());
        // The master's values are null: the details hold exactly the rows whose owner is null.
        const int ownerlessCars =
            shop.stores.carScalar(QStringLiteral("select count(*) from drevalonParadox where IdCust is null")).toInt();
        const int ownerlessLines =
            shop.stores.scalar(QStringLiteral("select count(*) from orderAll where idcust is null")).toInt();
        QVERIFY(ownerlessCars > 0 && ownerlessLines > 0);
        const std::pair<TDataSet *, int> expected[] = {{module.Table1, ownerlessCars},
                                                       {module.ADOTable1, ownerlessLines}};
        for (const auto &[detail, count] : expected) {
            QVERIFY2(detail->linkEngaged(), qPrintable(detail->objectName()));
            QCOMPARE(detail->RecordCount(), count);
            TField *link = detail == module.Table1 ? detail->FieldByName(QStringLiteral("IdCust"))
                                                   : detail->FieldByName(QStringLiteral("idcust"));
            for (int row = 0; row < detail->RecordCount(); ++row)
                QVERIFY(detail->valueAt(row, *link).isNull());
        }
        if (how == QLatin1String("inserting")) {
            customers->Cancel();
            QCOMPARE(keyOf(customers), shop.oleg);
            QCOMPARE(shop.detailsMismatch(module), QString());
        }
    }

    void settingTheSameLinkChangesNothing_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("same master fields") << "fields";
        QTest::newRow("master fields in other letter case") << "case";
        QTest::newRow("same master source") << "source";
        QTest::newRow("master row rewritten") << "post";
    }
    void settingTheSameLinkChangesNothing() {
        QFETCH(QString, how);
        Shop shop;
        ScriptedMessagesGuard messages;
        TDataModule3 module(shop.stores.settings());
        module.ADOQuery1->Last(); // Oleg, three cars
        module.Table1->setRecNo(1);
        const QVariant car = module.Table1->FieldByName(QStringLiteral("IdCar"))->Value();
        if (how == QLatin1String("fields")) {
            module.Table1->setMasterFields(QStringLiteral("Номер"));
        } else if (how == QLatin1String("case")) {
            module.Table1->setMasterFields(QStringLiteral("НОМЕР"));
        } else if (how == QLatin1String("source")) {
            module.Table1->setMasterSource(module.DataSource1);
        } else {
            module.ADOQuery1->Edit();
            module.ADOQuery1->FieldByName(QStringLiteral("телефон"))->setAsString(QStringLiteral("5"));
            module.ADOQuery1->Post();
        }
        QVERIFY(module.Table1->linkEngaged());
        QCOMPARE(module.Table1->RecordCount(), 3);
        QCOMPARE(module.Table1->RecNo(), 1);
        QCOMPARE(module.Table1->FieldByName(QStringLiteral("IdCar"))->Value(), car);
    }

    void detailOpenedWhileEngagedOpensRestricted() {
        Shop shop;
        ScriptedMessagesGuard messages;
        TDataModule3 module(shop.stores.settings());
        module.Table1->Close();
        module.ADOTable1->Close();
        module.ADOQuery1->setRecNo(3);
        module.Table1->Open();
        module.ADOTable1->Open();
        QCOMPARE(keyOf(module.ADOQuery1), shop.oleg);
        QCOMPARE(shop.detailsMismatch(module), QString());
        QCOMPARE(module.Table1->RecNo(), 0);
        // Closed details ignore master moves and pick the link up when they open.
        module.Table1->Close();
        module.ADOQuery1->First();
        module.Table1->Open();
        QCOMPARE(shop.detailsMismatch(module), QString());
    }

    void newDetailRowCarriesTheMasterKeyButCountsAsUntouched_data() {
        QTest::addColumn<QString>("detailName");
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("typedField");
        QTest::newRow("cars, float owner") << "Table1"
                                           << "IdCust"
                                           << "Model";
        QTest::newRow("archive lines") << "ADOTable1"
                                       << "idcust"
                                       << "Firm";
        QTest::newRow("current order lines") << "ADOTable2"
                                             << "idcust"
                                             << "Firm";
    }
    void newDetailRowCarriesTheMasterKeyButCountsAsUntouched() {
        QFETCH(QString, detailName);
        QFETCH(QString, link);
        QFETCH(QString, typedField);
        Shop shop;
        ScriptedMessagesGuard messages;
        TDataModule3 module(shop.stores.settings());
        TDataSet *detail = module.findDataSet(detailName);
        TDataSet *master = detail->MasterSource()->DataSet();
        master->Last(); // Oleg in both customer lists
        const QString masterField = detail->MasterFields();
        const QVariant key = master->FieldByName(masterField)->Value();
        QCOMPARE(key.toLongLong(), shop.oleg);
        const int before = detail->RecordCount();
        const QString lineTable =
            detailName == QLatin1String("ADOTable1") ? QStringLiteral("orderAll") : QStringLiteral("orderNow");
        auto storeRows = [&] {
            return detailName == QLatin1String("Table1")
                       ? shop.stores.carScalar(QStringLiteral("select count(*) from drevalonParadox")).toInt()
                       : shop.stores.scalar(QStringLiteral("select count(*) from %1").arg(lineTable)).toInt();
        };
        const int storedBefore = storeRows();

        detail->Insert();
        QCOMPARE(detail->FieldByName(link)->AsFloat(), double(shop.oleg));
        QVERIFY(!detail->Modified());
        detail->CheckBrowseMode();
        QCOMPARE(detail->State(), DataSetState::Browse);
        QCOMPARE(detail->RecordCount(), before);
        QCOMPARE(storeRows(), storedBefore);
        // A master move cancels it just the same.
        detail->Append();
        master->Prior();
        QCOMPARE(detail->State(), DataSetState::Browse);
        QCOMPARE(storeRows(), storedBefore);
        master->Last();

        // Typed into, the row is written with the master's key.
        detail->Insert();
        detail->FieldByName(typedField)->setAsString(QStringLiteral("Новая"));
        QVERIFY(detail->Modified());
        detail->Post();
        QCOMPARE(storeRows(), storedBefore + 1);
        QCOMPARE(detail->RecordCount(), before + 1);
        QCOMPARE(detail->FieldByName(typedField)->AsString(), QStringLiteral("Новая"));
        const QVariant stored =
            detailName == QLatin1String("Table1")
                ? shop.stores.carScalar(QStringLiteral("select IdCust from drevalonParadox where Model = 'Новая'"))
                : shop.stores.scalar(QStringLiteral("select idcust from %1 where Firm = 'Новая'").arg(lineTable));
        QCOMPARE(stored.toDouble(), double(shop.oleg));
    }

    void movingTheMasterPostsTheDetailFirst_data() {
        QTest::addColumn<QString>("move");
        QTest::addColumn<int>("masterRow");
        QTest::newRow("next") << "next" << 3;
        QTest::newRow("prior") << "prior" << 1;
        QTest::newRow("first") << "first" << 0;
        QTest::newRow("last") << "last" << 3;
        QTest::newRow("row chosen") << "recno0" << 0;
        QTest::newRow("master posted") << "post" << 2;
        QTest::newRow("master deleted") << "delete" << 2;
        QTest::newRow("master refreshed") << "refresh" << 2;
    }
    void movingTheMasterPostsTheDetailFirst() {
        QFETCH(QString, move);
        QFETCH(int, masterRow);
        Shop shop;
        ScriptedMessagesGuard messages;
        TDataModule3 module(shop.stores.settings());
        TADOQuery *customers = module.ADOQuery1;
        customers->setRecNo(2); // Anna, one car
        if (move == QLatin1String("post")) {
            customers->Edit();
            customers->FieldByName(QStringLiteral("Фамилия"))->setAsString(QStringLiteral("Петрова"));
        }
        module.Table1->Edit();
        module.Table1->FieldByName(QStringLiteral("Model"))->setAsString(QStringLiteral("Toyota Corolla"));

        if (move == QLatin1String("next"))
            customers->Next();
        else if (move == QLatin1String("prior"))
            customers->Prior();
        else if (move == QLatin1String("first"))
            customers->First();
        else if (move == QLatin1String("last"))
            customers->Last();
        else if (move == QLatin1String("recno0"))
            customers->setRecNo(0);
        else if (move == QLatin1String("post"))
            customers->Post();
        else if (move == QLatin1String("delete"))
            customers->Delete();
        else
            customers->Refresh();

        QCOMPARE(module.Table1->State(), DataSetState::Browse);
        QCOMPARE(
            shop.stores.carScalar(QStringLiteral("select Model from drevalonParadox where IdCust = ?"), {shop.anna})
                .toString()
                .trimmed(),
            QStringLiteral("Toyota Corolla"));
        QCOMPARE(customers->RecNo(), masterRow);
        QCOMPARE(shop.detailsMismatch(module), QString());
        if (move == QLatin1String("post"))
            QCOMPARE(
                shop.stores.scalar(QStringLiteral("select trim(lmane) from customer where idcust = ?"), {shop.anna})
                    .toString(),
                QStringLiteral("Петрова"));
        if (move == QLatin1String("delete"))
            QCOMPARE(shop.stores.scalar(QStringLiteral("select count(*) from customer where idcust = ?"), {shop.anna})
                         .toInt(),
                     0);
    }

    void refusedDetailRowKeepsTheMasterInPlace_data() {
        QTest::addColumn<QString>("detailName");
        QTest::addColumn<QString>("move");
        QTest::newRow("car, prior") << "Table1"
                                    << "prior";
        QTest::newRow("car, row chosen") << "Table1"
                                         << "recno0";
        QTest::newRow("car, master posted") << "Table1"
                                            << "post";
        QTest::newRow("car, master deleted") << "Table1"
                                             << "delete";
        QTest::newRow("car, master refreshed") << "Table1"
                                               << "refresh";
        QTest::newRow("archive line, first") << "ADOTable1"
                                             << "first";
        QTest::newRow("archive line, master deleted") << "ADOTable1"
                                                      << "delete";
    }
    void refusedDetailRowKeepsTheMasterInPlace() {
        QFETCH(QString, detailName);
        QFETCH(QString, move);
        Shop shop;
        ScriptedMessagesGuard messages;
        TDataModule3 module(shop.stores.settings());
        TADOQuery *customers = module.ADOQuery1;
        customers->Last(); // Oleg
        if (move == QLatin1String("post")) {
            customers->Edit();
            customers->FieldByName(QStringLiteral("Фамилия"))->setAsString(QStringLiteral("Орлова"));
        }
        TDataSet *detail = module.findDataSet(detailName);
        const bool car = detailName == QLatin1String("Table1");
        const QString typedField = car ? QStringLiteral("Model") : QStringLiteral("Firm");
        detail->Edit();
        detail->FieldByName(typedField)->setAsString(QStringLiteral("Typed"));
        // Someone else changed the row meanwhile: the detail row cannot be written.
        if (car)
            shop.stores.carSql(QStringLiteral("update drevalonParadox set Vin = 'changed' where IdCust = ?"),
                               {shop.oleg});
        else
            shop.stores.sql(QStringLiteral("update orderAll set description = 'changed' where idcust = ?"),
                            {shop.oleg});
        const int detailRows = detail->RecordCount();

        QString error;
        if (move == QLatin1String("prior"))
            error = errorOf([&] { customers->Prior(); });
        else if (move == QLatin1String("recno0"))
            error = errorOf([&] { customers->setRecNo(0); });
        else if (move == QLatin1String("first"))
            error = errorOf([&] { customers->First(); });
        else if (move == QLatin1String("post"))
            error = errorOf([&] { customers->Post(); });
        else if (move == QLatin1String("delete"))
            error = errorOf([&] { customers->Delete(); });
        else
            error = errorOf([&] { customers->Refresh(); });
        QCOMPARE(error, notLocatedForUpdate);

        QVERIFY(customers->Active());
        QCOMPARE(customers->RecNo(), 3);
        QCOMPARE(keyOf(customers), shop.oleg);
        QCOMPARE(customers->State(), move == QLatin1String("post") ? DataSetState::Edit : DataSetState::Browse);
        QCOMPARE(detail->State(), DataSetState::Edit);
        QCOMPARE(detail->FieldByName(typedField)->AsString(), QStringLiteral("Typed"));
        QCOMPARE(detail->RecordCount(), detailRows);
        QCOMPARE(shop.stores.scalar(QStringLiteral("select count(*) from customer")).toInt(), 4);
        QCOMPARE(
            shop.stores.scalar(QStringLiteral("select count(*) from customer where trim(lmane) = 'Орлова'")).toInt(),
            0);
        const int typedInStore =
            car ? shop.stores
                      .carScalar(QStringLiteral("select count(*) from drevalonParadox where trim(Model) = 'Typed'"))
                      .toInt()
                : shop.stores.scalar(QStringLiteral("select count(*) from orderAll where Firm = 'Typed'")).toInt();
        QCOMPARE(typedInStore, 0);

        // Given up, the detail lets the master go.
        detail->Cancel();
        customers->Cancel();
        customers->First();
        QCOMPARE(keyOf(customers), shop.ivan);
        QCOMPARE(shop.detailsMismatch(module), QString());
    }

    void masterGoingAwayLeavesAnUnwritableDetailEditPending_data() {
        QTest::addColumn<bool>("destroyDataSet");
        QTest::newRow("data source destroyed") << false;
        QTest::newRow("master dataset destroyed") << true;
    }
    void masterGoingAwayLeavesAnUnwritableDetailEditPending() {
        QFETCH(bool, destroyDataSet);
        Shop shop;
        TADOConnection connection(QStringLiteral("ADOConnection1"));
        connection.setStore(shop.stores.settings().driver, shop.stores.settings().database);
        auto customers = std::make_unique<TADOQuery>(QStringLiteral("ADOQuery1"));
        customers->setConnection(&connection);
        customers->SQL().setLines(customerQuery);
        auto source = std::make_unique<TDataSource>(QStringLiteral("DataSource1"));
        source->setDataSet(customers.get());
        TADOTable archive(QStringLiteral("ADOTable1"));
        archive.setConnection(&connection);
        archive.setTableName(QStringLiteral("orderAll"));
        archive.setIndexFieldNames(QStringLiteral("idcust"));
        archive.setMasterSource(source.get());
        archive.setMasterFields(QStringLiteral("Номер"));
        customers->Open();
        archive.Open();
        QCOMPARE(archive.RecordCount(), 3);
        archive.Edit();
        archive.FieldByName(QStringLiteral("Firm"))->setAsString(QStringLiteral("Typed"));
        shop.stores.sql(QStringLiteral("update orderAll set description = 'changed' where idcust = ?"), {shop.ivan});

        // Tearing the master down must not end the program from a destructor.
        if (destroyDataSet)
            customers.reset();
        else
            source.reset();
        QCOMPARE(archive.State(), DataSetState::Edit);
        QCOMPARE(shop.stores.scalar(QStringLiteral("select count(*) from orderAll where Firm = 'Typed'")).toInt(), 0);
        archive.Cancel();
        QCOMPARE(archive.State(), DataSetState::Browse);
    }

    void manyCustomersManyCars() {
        TestStores stores;
        stores.sql(QStringLiteral("insert into customer(Name, lmane, phone, phone2) "
                                  "with recursive n(i) as (select 1 union all select i + 1 from n where i < 20000) "
                                  "select 'N' || i, 'S' || i, i, '' from n"));
        // Owners spread unevenly; some cars belong to nobody or to no customer.
        stores.carSql(
            QStringLiteral("insert into drevalonParadox(Model, Vin, IdCust) "
                           "with recursive n(i) as (select 1 union all select i + 1 from n where i < 30000) "
                           "select 'M' || i, 'V' || i, case when i % 97 = 0 then null when i % 89 = 0 then 40000 + i "
                           "else (i * 7919) % 20011 + 1 end from n"));
        stores.sql(QStringLiteral(
            "insert into orderAll(idcust, Firm, number, kol, cena) "
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < 25000) "
            "select case when i % 101 = 0 then null else (cast(i as bigint) * 104729) % 19997 + 1 end, 'F' || i, "
            "'A' || i, 1, 10 from n"));
        const QHash<qint64, int> cars = carsPerOwner(stores);
        const QHash<qint64, int> lines = linesPerOwner(stores, QStringLiteral("orderAll"));
        QVERIFY(cars.size() > 10000);
        QVERIFY(lines.size() > 10000);

        ScriptedMessagesGuard messages;
        TDataModule3 module(stores.settings());
        QVERIFY(messages->boxes().isEmpty());
        TADOQuery *customers = module.ADOQuery1;
        QCOMPARE(customers->RecordCount(), 20000);
        auto check = [&](const QString &where) {
            const qint64 key = keyOf(customers);
            QString out = mismatch(*module.Table1, QStringLiteral("IdCust"), key, cars.value(key));
            if (out.isEmpty())
                out = mismatch(*module.ADOTable1, QStringLiteral("idcust"), key, lines.value(key));
            return out.isEmpty() ? out : where + QStringLiteral(": ") + out;
        };

        int moves = 0;
        QString failure;
        for (customers->First(); failure.isEmpty() && !customers->Eof(); customers->Next(), ++moves)
            failure = check(QStringLiteral("walking forward at row %1").arg(customers->RecNo()));
        QCOMPARE(failure, QString());
        QCOMPARE(moves, 20000);
        for (customers->Last(); failure.isEmpty() && !customers->Bof(); customers->Prior())
            failure = check(QStringLiteral("walking back at row %1").arg(customers->RecNo()));
        QCOMPARE(failure, QString());
        QRandomGenerator random(20240611);
        for (int i = 0; i < 3000 && failure.isEmpty(); ++i) {
            if (i % 3 == 0)
                customers->MoveBy(random.bounded(-500, 500));
            else
                customers->setRecNo(random.bounded(20000));
            failure = check(QStringLiteral("jump %1 to row %2").arg(i).arg(customers->RecNo()));
        }
        QCOMPARE(failure, QString());

        // Disengaged, every car is there again; engaged, the narrowing is as before.
        module.Table1->setMasterFields(QString());
        QCOMPARE(module.Table1->RecordCount(), 30000);
        module.Table1->setMasterFields(QStringLiteral("Номер"));
        QCOMPARE(check(QStringLiteral("engaged again")), QString());
    }
};

QTEST_MAIN(TestMasterDetail)
#include "tst_masterdetail.moc"
