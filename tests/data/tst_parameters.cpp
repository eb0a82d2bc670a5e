// The parameter rule and the line slots of server queries, against a real store.
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/ParameterList.h"
#include "data/datasets/TADOConnection.h"
#include "data/datasets/TADOQuery.h"
#include "tests/support/TestStores.h"

#include <QDate>
#include <QLocale>
#include <QTest>

class TestParameters : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStores> stores;
    std::unique_ptr<TADOConnection> connection;
    std::unique_ptr<TADOQuery> archive;

    QStringList names() const {
        QStringList out;
        for (int i = 0; i < archive->Parameters().Count(); ++i)
            out << archive->Parameters().Items(i).Name;
        return out;
    }
    QList<qint64> customersOfArchive() {
        QList<qint64> out;
        for (archive->First(); !archive->Eof(); archive->Next())
            out << archive->FieldByName(QStringLiteral("idcust"))->AsInteger();
        return out;
    }
    // What the archive page does: add the two dates, then write the range.
    void setRange(const QString &from, const QString &to) {
        archive->Close();
        archive->Parameters().AddParameter().Name = QStringLiteral("D1");
        archive->Parameters().ParamByName(QStringLiteral("D1")).Value = from;
        archive->Parameters().AddParameter().Name = QStringLiteral("D2");
        archive->Parameters().ParamByName(QStringLiteral("D2")).Value = to;
        archive->SQL().setLine(2, QStringLiteral("where [Date] between :D1 and :D2"));
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void init() {
        stores = std::make_unique<TestStores>();
        stores->addArchived(1, QStringLiteral("Bosch"), QStringLiteral("0451103316"), QStringLiteral("Фильтр масляный"),
                            1, 450, QStringLiteral("2026-11-30"));
        stores->addArchived(2, QStringLiteral("NGK"), QStringLiteral("BKR6E"), QStringLiteral("Свеча"), 4, 300,
                            QStringLiteral("2026-12-01"));
        stores->addArchived(3, QStringLiteral("Mann"), QStringLiteral("C 2774"), QStringLiteral("Фильтр воздушный"), 1,
                            800, QStringLiteral("2026-12-05"));
        stores->addArchived(4, QStringLiteral("TRW"), QStringLiteral("GDB1330"), QStringLiteral("Колодки"), 1, 2500,
                            QStringLiteral("2026-12-06"));
        connection = std::make_unique<TADOConnection>(QStringLiteral("ADOConnection1"));
        connection->setStore(stores->settings().driver, stores->settings().database);
        archive = std::make_unique<TADOQuery>(QStringLiteral("ADOQuery2"));
        archive->setConnection(connection.get());
        archive->SQL().setLines({QStringLiteral("select idcust, cena, Convert(char(11),date,104) as [Дата]"),
                                 QStringLiteral("from [orderAll]"), QString(), QString(), QString()});
    }
    void cleanup() {
        archive.reset();
        connection.reset();
        stores.reset();
    }

    void markers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("blank ends a name") << "a = :p and b"
                                           << "a = ? and b" << QStringList{"p"};
        QTest::newRow("comma") << "f(:a,:b)"
                               << "f(?,?)" << QStringList{"a", "b"};
        QTest::newRow("semicolon") << "x = :a;"
                                   << "x = ?;" << QStringList{"a"};
        QTest::newRow("line break") << "x = :a\ny"
                                    << "x = ?\ny" << QStringList{"a"};
        QTest::newRow("end of text") << "x = :last"
                                     << "x = ?" << QStringList{"last"};
        QTest::newRow("apostrophes") << "x = ':no' and y = :yes"
                                     << "x = ':no' and y = ?" << QStringList{"yes"};
        QTest::newRow("double quotes") << "\"a:b\" = :c"
                                       << "\"a:b\" = ?" << QStringList{"c"};
        QTest::newRow("back quotes") << "`a:b` = :c"
                                     << "`a:b` = ?" << QStringList{"c"};
        QTest::newRow("doubled apostrophe stays inside") << "x = 'it''s :no' or :y"
                                                         << "x = 'it''s :no' or ?" << QStringList{"y"};
        QTest::newRow("two colons are one colon") << "select '1' || '::' as a, 10::30"
                                                  << "select '1' || '::' as a, 10:30" << QStringList{};
        QTest::newRow("colon without a name") << "a : b"
                                              << "a : b" << QStringList{};
        QTest::newRow("same name twice") << ":D1 or :d1"
                                         << "? or ?" << QStringList{"D1", "d1"};
        QTest::newRow("Cyrillic name") << "x = :Дата"
                                       << "x = ?" << QStringList{"Дата"};
        QTest::newRow("no markers") << "select 1"
                                    << "select 1" << QStringList{};
        // Comments and bracketed names are no code, as for every reading of a statement.
        QTest::newRow("comments") << "x = :a -- or :b\n and y = :c /* :d */"
                                  << "x = ? -- or :b\n and y = ? /* :d */" << QStringList{"a", "c"};
        QTest::newRow("apostrophe in a comment") << "/* it's */ x = :a"
                                                 << "/* it's */ x = ?" << QStringList{"a"};
        QTest::newRow("brackets") << "[a:b] = :c"
                                  << "[a:b] = ?" << QStringList{"c"};
        QTest::newRow("a comment ends a name") << "x = :a--note"
                                               << "x = ?--note" << QStringList{"a"};
    }
    void markers() {
        QFETCH(QString, text);
        QFETCH(QString, sent);
        QFETCH(QStringList, found);
        const ParsedStatement parsed = parseParameters(text);
        QCOMPARE(parsed.sql, sent);
        QCOMPARE(parsed.names, found);
        QCOMPARE(parsed.positions.size(), found.size());
    }

    void rangeKeepsValuesAcrossSortAndRunsTwiceAlike() {
        setRange(QStringLiteral("01.12.2026"), QStringLiteral("05.12.2026"));
        QCOMPARE(names(), (QStringList{"D1", "D2"}));
        archive->Open();
        const QList<qint64> first = customersOfArchive();
        QCOMPARE(first, (QList<qint64>{2, 3}));

        // Writing a sort keeps the range: the new text names D1 and D2 again.
        archive->SQL().setLine(3, QStringLiteral("ORDER BY cena DESC"));
        QVERIFY(!archive->Active());
        QCOMPARE(names(), (QStringList{"D1", "D2"}));
        QCOMPARE(archive->Parameters().ParamByName(QStringLiteral("d1")).Value.toString(),
                 QStringLiteral("01.12.2026"));
        archive->Open();
        QCOMPARE(customersOfArchive(), (QList<qint64>{3, 2}));

        // The range a second time: same rows, still exactly two parameters.
        setRange(QStringLiteral("01.12.2026"), QStringLiteral("05.12.2026"));
        QCOMPARE(archive->Parameters().Count(), 4); // added before the text changed...
        archive->SQL().setLine(3, QStringLiteral("ORDER BY cena ASC"));
        QCOMPARE(names(), (QStringList{"D1", "D2"})); // ...and rebuilt to the markers
        archive->Open();
        QCOMPARE(customersOfArchive(), (QList<qint64>{2, 3}));
    }

    void noConditionLeavesNoParameters() {
        setRange(QStringLiteral("01.12.2026"), QStringLiteral("31.12.2026"));
        archive->SQL().setLine(2, QStringLiteral(" "));
        QCOMPARE(archive->Parameters().Count(), 0);
        archive->Open();
        QCOMPARE(archive->RecordCount(), 4);
    }

    void sameTextDoesNotRebuild() {
        archive->SQL().setLine(2, QStringLiteral("where idcust = :who"));
        archive->Parameters().ParamByName(QStringLiteral("who")).Value = 3;
        archive->Open();
        // A parameter the text does not name survives only while the text stays the same.
        archive->Parameters().AddParameter().Name = QStringLiteral("extra");
        archive->SQL().setLine(2, QStringLiteral("where idcust = :who"));
        QVERIFY(!archive->Active()); // the same text still closes the query
        QCOMPARE(names(), (QStringList{"who", "extra"}));
        archive->SQL().setLine(3, QStringLiteral("ORDER BY cena"));
        QCOMPARE(names(), (QStringList{"who"}));
        QCOMPARE(archive->Parameters().ParamByName(QStringLiteral("WHO")).Value.toInt(), 3);
        archive->Open();
        QCOMPARE(customersOfArchive(), (QList<qint64>{3}));
    }

    void valueKeptByNameIgnoringCase() {
        archive->SQL().setLine(2, QStringLiteral("where idcust = :Who"));
        archive->Parameters().ParamByName(QStringLiteral("Who")).Value = 2;
        archive->SQL().setLine(2, QStringLiteral("where idcust = :WHO or idcust = :other"));
        QCOMPARE(archive->Parameters().ParamByName(QStringLiteral("who")).Value.toInt(), 2);
        QVERIFY(archive->Parameters().ParamByName(QStringLiteral("other")).Value.isNull());
    }

    void unknownParameterIsAnError() {
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, archive->Parameters().ParamByName(QStringLiteral("D1")));
    }

    void lineSlots() {
        archive->Open();
        archive->SQL().setLine(4, QString());
        QVERIFY(!archive->Active()); // every change of the lines closes the query
        try {
            archive->SQL().setLine(5, QStringLiteral("x"));
            QFAIL("a missing line was written");
        } catch (const EDatabaseError &error) {
            QCOMPARE(error.message(), QStringLiteral("List index out of bounds (5)"));
        }
        QCOMPARE(archive->SQL().count(), 5);
        QCOMPARE(archive->SQL().text(),
                 QStringLiteral("select idcust, cena, Convert(char(11),date,104) as [Дата]\nfrom [orderAll]\n\n\n\n"));
    }

    void appendAndClearCountAsChanges() {
        TADOQuery batch(QStringLiteral("ADOQuery5"));
        batch.setConnection(connection.get());
        batch.SQL().add(QStringLiteral("delete from orderAll"));
        batch.SQL().add(QStringLiteral("where idcust = :who"));
        QCOMPARE(batch.Parameters().Count(), 1);
        batch.Parameters().ParamByName(QStringLiteral("who")).Value = 4;
        QCOMPARE(batch.ExecSQL(), 1);
        QVERIFY(!batch.Active());
        batch.SQL().clear();
        QCOMPARE(batch.SQL().count(), 0);
        QCOMPARE(batch.Parameters().Count(), 0);
        QCOMPARE(stores->scalar(QStringLiteral("select count(*) from orderAll")).toInt(), 3);
    }

    void dateTextReachesTheStoreAsADate() {
        // The date column is compared as a date, not as the typed text.
        archive->SQL().setLine(2, QStringLiteral("where [Date] = :day"));
        archive->Parameters().ParamByName(QStringLiteral("day")).Value = QStringLiteral("06.12.2026");
        archive->Open();
        QCOMPARE(customersOfArchive(), (QList<qint64>{4}));
        QCOMPARE(archive->FieldByName(QStringLiteral("Дата"))->AsString().trimmed(), QStringLiteral("06.12.2026"));
    }
};

QTEST_MAIN(TestParameters)
#include "tst_parameters.moc"
