// The small parts of the dataset layer on their own, table by table: the row
// index (order, key range, insert, re-placing a changed row), the readings of
// statement text, and column storage (kinds, nulls, comparisons).
#include "data/datasets/ColumnData.h"
#include "data/datasets/DateText.h"
#include "data/datasets/PostgresDialect.h"
#include "data/datasets/RowIndex.h"
#include "data/datasets/SqlText.h"
#include "data/datasets/SqliteDialect.h"
#include "data/datasets/StatementScanner.h"
#include "tests/support/Errors.h"

#include <QDate>
#include <QSqlQuery>
#include <QTest>
#include <algorithm>
#include <limits>

namespace {
// Two columns: a customer number (with a null) and a price.
std::vector<ColumnData> shop() {
    std::vector<ColumnData> columns{ColumnData(ColumnData::Kind::Integer), ColumnData(ColumnData::Kind::Real)};
    const QVariant owners[] = {3, 1, QVariant(), 3, 1};
    const double prices[] = {50, 20, 99, 10, 20};
    for (int i = 0; i < 5; ++i) {
        columns[0].append(owners[i]);
        columns[1].appendReal(prices[i]);
    }
    return columns;
}
QList<int> held(const RowIndex &index) {
    QList<int> rows;
    for (int i = 0; i < index.size(); ++i)
        rows << index.storageRow(i);
    return rows;
}
} // namespace

class TestUnits : public QObject {
    Q_OBJECT
private slots:
    void rowIndex() {
        auto columns = shop();
        RowIndex index;
        index.reset(5);
        QCOMPARE(held(index), (QList<int>{0, 1, 2, 3, 4}));
        index.sortBy(columns, {0, 1}); // nulls first, ties by price, stable
        QCOMPARE(held(index), (QList<int>{2, 1, 4, 3, 0}));
        const struct {
            QVariant key;
            QList<int> rows;
        } ranges[] = {{1, {1, 4}}, {3, {3, 0}}, {2, {}}, {QVariant(), {2}}};
        for (const auto &range : ranges) {
            index.restrict(columns, RowIndex::Key{range.key});
            QCOMPARE(held(index), range.rows);
        }
        index.restrict(columns, RowIndex::Key{1});
        QCOMPARE(index.find(4), 1);
        QCOMPARE(index.find(0), -1); // not of this key
        // A new row goes where it is put; once its key is known it moves there.
        for (ColumnData &column : columns)
            column.append(QVariant());
        index.insert(0, 5);
        QCOMPARE(held(index), (QList<int>{5, 1, 4}));
        columns[0].set(5, 3);
        columns[1].set(5, 5.0);
        QVERIFY(index.place(columns, 5));
        QCOMPARE(held(index), (QList<int>{1, 4}));
        index.restrict(columns, RowIndex::Key{3});
        QCOMPARE(held(index), (QList<int>{5, 3, 0}));
        QVERIFY(!index.place(columns, 3)); // still in order: stays
        index.erase(0);
        QCOMPARE(held(index), (QList<int>{3, 0}));
        index.restrict(columns, std::nullopt);
        QCOMPARE(index.size(), 5);
    }

    // Sorting by one column of integers takes a short cut: it must give the
    // very order comparing the rows gives, nulls first and ties as they stood.
    void integerSortKeepsTheComparingOrder_data() {
        QTest::addColumn<QVariantList>("values");
        const qint64 most = std::numeric_limits<qint64>::max(), least = std::numeric_limits<qint64>::min();
        QTest::newRow("ties, negatives, nulls") << QVariantList{5, -3, QVariant(), 5, 0, -3, QVariant(), 7, 5, -100000};
        QTest::newRow("all of 64 bits") << QVariantList{most, 1, least, 1, most, -1, qint64(1) << 40, QVariant()};
        QTest::newRow("only nulls") << QVariantList{QVariant(), QVariant()};
        QVariantList many;
        for (int i = 0; i < 5000; ++i)
            many << (i % 97 == 0 ? QVariant() : QVariant((i * 7919) % 1013 - 500));
        QTest::newRow("many ties") << many;
    }
    void integerSortKeepsTheComparingOrder() {
        QFETCH(QVariantList, values);
        // The rows stand in a price order first: ties must keep that order.
        std::vector<ColumnData> columns{ColumnData(ColumnData::Kind::Integer), ColumnData(ColumnData::Kind::Real)};
        for (int i = 0; i < values.size(); ++i) {
            columns[0].append(values[i]);
            columns[1].appendReal((i * 37) % 11);
        }
        RowIndex index;
        index.reset(int(values.size()));
        index.sortBy(columns, {1});
        QList<int> expected = held(index);
        std::stable_sort(expected.begin(), expected.end(),
                         [&](int a, int b) { return columns[0].compareRows(a, b) < 0; });
        index.sortBy(columns, {0});
        QCOMPARE(held(index), expected);
    }

    // Each span as kind and text ("c" code, "l" literal, "n" name, "#" comment),
    // and the values of the literals and names.
    void statementScanner_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("spans");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("doubled quotes") << "select 'it''s', \"a\"\"b\", [c]]d], `e``f`"
                                        << QStringList{"c:select ", "l:'it''s'", "c:, ", "n:\"a\"\"b\"",
                                                       "c:, ",      "n:[c]]d]",  "c:, ", "n:`e``f`"}
                                        << QStringList{"it's", "a\"b", "c]d", "e`f"};
        QTest::newRow("comments") << "a -- b 'c\n/* d /* e */ f */"
                                  << QStringList{"c:a ", "#:-- b 'c", "c:\n", "#:/* d /* e */", "c: f */"}
                                  << QStringList{};
        QTest::newRow("quotes in quotes")
            << "'--' \"'\" ['] /*'*/" << QStringList{"l:'--'", "c: ", "n:\"'\"", "c: ", "n:[']", "c: ", "#:/*'*/"}
            << QStringList{"--", "'", "'"};
        QTest::newRow("unclosed") << "[a ]]b 'c''" << QStringList{"c:[a ]]b ", "l:'c''"} << QStringList{"c'"};
        QTest::newRow("unclosed comment") << "x /* y" << QStringList{"c:x ", "#:/* y"} << QStringList{};
    }
    void statementScanner() {
        QFETCH(QString, sql);
        QFETCH(QStringList, spans);
        QFETCH(QStringList, values);
        const StatementScanner scan(sql);
        QStringList read, valuesRead;
        for (const StatementScanner::Span &span : scan.spans()) {
            read << QStringLiteral("cln#").at(static_cast<int>(span.kind)) + QStringLiteral(":") +
                        scan.textOf(span).toString();
            if (span.kind == StatementScanner::Kind::Literal || span.kind == StatementScanner::Kind::Name)
                valuesRead << scan.value(span);
        }
        QCOMPARE(read, spans);
        QCOMPARE(valuesRead, values);
    }

    void statementText_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("tables");
        QTest::addColumn<bool>("aggregate");
        QTest::addColumn<bool>("keyed");
        QTest::newRow("plain") << "select * from orderAll" << QStringList{"orderAll"} << false << true;
        QTest::newRow("brackets") << "select a from [orderAll]" << QStringList{"orderAll"} << false << true;
        QTest::newRow("join") << "select c.name from customer c join ordernow n on n.idcust=c.idcust"
                              << QStringList{"customer", "ordernow"} << false << true;
        QTest::newRow("sum") << "select sum(Kol*Cena) as [Сумма заказа] from orderNow" << QStringList{"orderNow"}
                             << true << false;
        QTest::newRow("quoted from") << "select 'from x' as t from customer" << QStringList{"customer"} << false
                                     << true;
        QTest::newRow("distinct") << "select distinct Firm from orderAll" << QStringList{"orderAll"} << true << false;
        QTest::newRow("insert") << "insert INTO [orderAll](idcust) SELECT idcust from [orderNow] "
                                << QStringList{"orderAll", "orderNow"} << false << false;
        // Comments and doubled quotes read as the stores read them.
        QTest::newRow("block comment") << "select * from a /* join b */" << QStringList{"a"} << false << true;
        QTest::newRow("apostrophe in a comment")
            << "select a /* it's */ from t where b = 'x'" << QStringList{"t"} << false << true;
        QTest::newRow("aggregate in a comment")
            << "/* count(*) */ select a from t" << QStringList{"t"} << false << true;
        QTest::newRow("doubled quotes") << "select a from [a]]b] join \"c\"\"d\" on 1" << QStringList{"a]b", "c\"d"}
                                        << false << true;
    }
    void statementText() {
        QFETCH(QString, sql);
        QFETCH(QStringList, tables);
        QFETCH(bool, aggregate);
        QFETCH(bool, keyed);
        QStringList found;
        for (const auto &ref : SqlText::tableReferences(sql))
            found << ref.table;
        QCOMPARE(found, tables);
        QCOMPARE(SqlText::isAggregate(sql), aggregate);
        const QString withKey = SqlText::withRowKey(sql, QStringLiteral("rowid"));
        QCOMPARE(!withKey.isEmpty(), keyed);
        if (keyed)
            QVERIFY(withKey.contains(QStringLiteral("rowid as \"__rowkey\",")));
        QCOMPARE(SqlText::codeOnly(sql).size(), sql.size());
    }

    void dateConversions_data() {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QVariant>("text");
        QTest::newRow("104 padded") << "Convert(char(11), '2011-05-23', 104)" << QVariant("23.05.2011 ");
        QTest::newRow("104 with a time") << "Convert(char(11), '2011-05-23 10:30:00', 104)" << QVariant("23.05.2011 ");
        QTest::newRow("103") << "Convert(char(10), '2010-12-31', 103)" << QVariant("31/12/2010");
        QTest::newRow("102 cut") << "Convert(char(7), '2010-12-31', 102)" << QVariant("2010.12");
        QTest::newRow("120") << "Convert(char(19), '2011-01-02', 120)" << QVariant("2011-01-02 00:00:00");
        QTest::newRow("not a date") << "Convert(char(6), 'Привет мир', 104)" << QVariant("Привет");
        QTest::newRow("null") << "Convert(char(11), null, 104)" << QVariant();
        // Found by fuzzing (fuzz/corpus/fuzz_convert/found-*): widths in the
        // characters the store counts, and only a time of digits copied.
        QTest::newRow("past U+FFFF") << "length(Convert(char(70000), 'a😀b', 0))" << QVariant(70000);
        QTest::newRow("cut past U+FFFF") << "Convert(3, '😀😀😀😀', 0)" << QVariant("😀😀😀");
        QTest::newRow("time not digits") << "Convert(char(19), '2011-05-23 08:0ж', 120)"
                                         << QVariant("2011-05-23 00:00:00");
        QTest::newRow("leading U+FEFF kept")
            << "Convert(4, char(65279) || 'ab', 0)" << QVariant(QStringLiteral("\uFEFFab "));
    }
    void dateConversions() {
        QFETCH(QString, call);
        QFETCH(QVariant, text);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("units"));
            SqliteDialect::openMemory(db);
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("select ") + call) && q.next());
            QCOMPARE(q.value(0).isNull(), text.isNull());
            QCOMPARE(q.value(0).toString(), text.toString());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("units"));
    }

    void isoDaysAsQtCountsThem() {
        // Every day a store can keep, and texts that are no such day.
        for (QDate date(1, 1, 1); date <= QDate(9999, 12, 31); date = date.addDays(1)) {
            const QByteArray text = date.toString(Qt::ISODate).toLatin1();
            qint64 day = 0;
            if (!julianDayOfIso(text.constData(), int(text.size()), &day) || day != date.toJulianDay())
                QFAIL(text.constData());
        }
        for (const char *text : {"0000-01-01", "2023-02-29", "1900-02-29", "2024-13-01", "2024-00-10", "2024-04-31",
                                 "2024-1-05", "2024-01-5 ", "2024/01/05", "2024-01-05 10:00:00", "+024-01-05"}) {
            qint64 day = 0;
            QVERIFY2(!julianDayOfIso(text, int(qstrlen(text)), &day), text);
        }
    }

    void postgresSpelling_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        QTest::newRow("aliases") << "select idcust as 'Номер',  Name as 'Имя', phone2 as 'Доп.телефон'"
                                 << "select idcust as \"Номер\",  Name as \"Имя\", phone2 as \"Доп.телефон\"";
        QTest::newRow("archive") << "kol as Количество,cena as [Цена(шт)] , Convert(char(11),date,104) as [Дата]\n"
                                    "from [orderAll]"
                                 << "kol as Количество,cena as \"Цена(шт)\" , cast(to_char(date,'DD.MM.YYYY') as "
                                    "char(11)) as \"Дата\"\nfrom \"orderall\"";
        QTest::newRow("period") << "where [Date] between :D1 and :D2"
                                << "where \"date\" between :D1 and :D2";
        QTest::newRow("nested") << "select Convert(char(10), [Date], 103) from t"
                                << "select cast(to_char(\"date\",'DD/MM/YYYY') as char(10)) from t";
        QTest::newRow("insert") << "insert INTO [orderAll](idcust,Firm)"
                                << "insert INTO \"orderall\"(idcust,Firm)";
        QTest::newRow("literals untouched") << "where Name='[x] as ''y''' and a = 'as'"
                                            << "where Name='[x] as ''y''' and a = 'as'";
        QTest::newRow("alias with a quote") << "select 1 as 'it''s'"
                                            << "select 1 as \"it's\"";
        // Found by fuzzing (fuzz/corpus/fuzz_sqltext/f*-apostrophe-*): an apostrophe
        // in a name or a comment starts no literal.
        QTest::newRow("apostrophe in a name") << "select \"a'b\", 'Convert(char(10), x, 104)', [c'd] from t"
                                              << "select \"a'b\", 'Convert(char(10), x, 104)', \"c'd\" from t";
        QTest::newRow("apostrophe in a comment") << "select 1 -- it's\n, '[B] ?' from t where x = ?"
                                                 << "select 1 -- it's\n, '[B] ?' from t where x = $1";
        QTest::newRow("other styles kept") << "Convert(char(11),date,999)"
                                           << "Convert(char(11),date,999)";
        QTest::newRow("markers numbered") << "update \"ordernow\" set \"kol\" = ? where \"rowkey\" = ? and "
                                             "\"firm\" is not distinct from ?"
                                          << "update \"ordernow\" set \"kol\" = $1 where \"rowkey\" = $2 and "
                                             "\"firm\" is not distinct from $3";
        QTest::newRow("doubled bracket") << "select [a]]b] as [C]]] from t"
                                         << "select \"a]b\" as \"C]\" from t";
        QTest::newRow("back quotes") << "select `it's ?` from t where x = ?"
                                     << "select `it's ?` from t where x = $1";
        QTest::newRow("markers in text are text")
            << "select '?', \"a?\" from t -- why?\nwhere x = ? /* or ? */ and y = ?"
            << "select '?', \"a?\" from t -- why?\nwhere x = $1 /* or ? */ and y = $2";
    }
    void postgresSpelling() {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        QCOMPARE(PostgresDialect::serverText(sql), expected);
        // The layer's own names are the ones the server folded unquoted names to.
        QCOMPARE(PostgresDialect().quoteIdentifier(QStringLiteral("orderAll")), QStringLiteral("\"orderall\""));
        QCOMPARE(PostgresDialect().quoteIdentifier(QStringLiteral("Дата\"X")), QStringLiteral("\"Дата\"\"x\""));
        // A NUL would cut the text short on its way to the server.
        QVERIFY(errorOf([] { PostgresDialect::serverText(QStringLiteral("select 'a") + QChar(0) + "'"); }) != noError);
    }

    void columnStorage() {
        ColumnData numbers(ColumnData::Kind::Integer);
        for (const QVariant &v : {QVariant(7), QVariant(), QVariant(-2)})
            numbers.append(v);
        QVERIFY(numbers.isNull(1));
        QCOMPARE(numbers.get(2), QVariant(qint64(-2)));
        QVERIFY(numbers.compareRows(1, 2) < 0); // nulls first
        QVERIFY(numbers.compareRows(0, 2) > 0);
        QCOMPARE(numbers.compareWith(0, 7.0), 0); // numbers by value, whatever their type
        // A value the kind cannot hold turns the column into plain values: nothing altered.
        numbers.append(QStringLiteral("seven"));
        QCOMPARE(numbers.kind(), ColumnData::Kind::Variant);
        QCOMPARE(numbers.get(0), QVariant(qint64(7)));
        QCOMPARE(numbers.get(3), QVariant(QStringLiteral("seven")));

        // Texts from the store's bytes: empty, repeated and new ones, each as read.
        ColumnData texts(ColumnData::Kind::Text);
        for (const char *text : {"", "Bosch", "", "Mann", "Bosch"})
            texts.appendUtf8(text, static_cast<int>(qstrlen(text)));
        for (int row = 0; row < 5; ++row)
            QVERIFY(!texts.isNull(row));
        QCOMPARE(texts.get(0), QVariant(QString(QLatin1String(""))));
        QCOMPARE(texts.get(3), QVariant(QStringLiteral("Mann")));
        QCOMPARE(texts.compareRows(1, 4), 0);
        QVERIFY(texts.compareRows(0, 1) < 0);
        // Rows read in another stretch join: their texts are this column's texts.
        ColumnData more(ColumnData::Kind::Text);
        for (const QVariant &v : {QVariant(QStringLiteral("Mann")), QVariant(), QVariant(QStringLiteral("Febi"))})
            more.append(v);
        texts.appendColumn(more);
        QCOMPARE(texts.compareRows(3, 5), 0);
        QVERIFY(texts.isNull(6) && texts.get(7) == QVariant(QStringLiteral("Febi")));

        // Many distinct texts among repeated ones, long ones sharing their ends,
        // and any bytes: each read back as its bytes decode, equal bytes one text,
        // and ordered by their bytes, as the store orders them.
        ColumnData many(ColumnData::Kind::Text);
        QList<QByteArray> written;
        const QByteArray middle(40, 'x');
        // Past 65,536 distinct texts, twice as many as repeated ones, each row keeps its own.
        for (int i = 0; i < 120000; ++i) {
            QByteArray bytes = i % 3 == 0   ? QByteArray("Bosch")
                               : i % 3 == 1 ? "A" + middle + QByteArray::number(i) + middle + "Z"
                                            : QByteArray::number(i, 36);
            if (i % 500 == 7)
                bytes = i % 1000 == 7 ? QByteArray("\xEF\xBB\xBF\xFF\xD0")
                                      : QByteArray("\xF0\x9F\x98\x80"); // BOM, broken UTF-8, U+1F600
            many.appendUtf8(bytes.constData(), int(bytes.size()));
            written.append(bytes);
        }
        std::vector<std::uint64_t> keys;
        std::vector<std::uint8_t> nulls;
        QVERIFY(many.orderKeys(keys, nulls));
        for (int row = 0; row < many.size(); row += 7) {
            const int other = (row * 7919) % many.size();
            QCOMPARE(many.get(row), QVariant(textFromUtf8(written[row].constData(), written[row].size())));
            const int bytesOrder = written[row] == written[other] ? 0 : (written[row] < written[other] ? -1 : 1);
            QCOMPARE(many.compareRows(row, other), bytesOrder);
            QCOMPARE(keys[row] == keys[other] ? 0 : (keys[row] < keys[other] ? -1 : 1), bytesOrder);
        }

        ColumnData dates(ColumnData::Kind::Date);
        dates.append(QDate(2011, 1, 2));
        dates.append(QDate(2010, 12, 31));
        QVERIFY(dates.compareRows(0, 1) > 0);
        QCOMPARE(dates.get(1), QVariant(QDate(2010, 12, 31)));
        dates.truncate(1);
        QCOMPARE(dates.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestUnits)
#include "tst_units.moc"
