// The statement-text scanners of the dialects, on any text:
// - StatementScanner cuts the text end to end into the literals, names and
//   comments StatementModel reads, with code between them, and each value
//   quotes back to its text;
// - SqlText::codeOnly keeps the length and the code, blanks inside those
//   pieces (keeping only their quotes), and a second pass changes nothing;
// - tableReferences names tables that are in the text (a quoted one as its
//   content), with aliases that are words and no keyword; selectItems are
//   pieces of the text, none a star;
// - withRowKey either declines (always for an aggregate) or inserts exactly
//   its column, in code, right after SELECT;
// - PostgresText::rewrite never touches a literal: the literals of the text
//   are those of the result, less the aliases it made names and with the date
//   pictures of the Convert calls it spelled out;
// - PostgresDialect::serverText refuses a NUL with the program's error, and
//   otherwise changes the rewritten text only by numbering its '?' in code
//   $1, $2, ... in order, leaving every '?' in a literal, name or comment.
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/PostgresDialect.h"
#include "data/datasets/PostgresText.h"
#include "data/datasets/SqlText.h"
#include "data/datasets/StatementScanner.h"
#include "fuzz/FuzzKit.h"
#include "fuzz/StatementModel.h"

#include <vector>

namespace {
void checkScanner(const QString &sql) {
    using Kind = StatementScanner::Kind;
    const StatementScanner scan(sql);
    const StatementModel::Reading model = StatementModel::read(sql);
    int at = 0, piece = 0;
    bool afterCode = false;
    for (const StatementScanner::Span &span : scan.spans()) {
        FUZZ_CHECK(span.start == at && span.end > span.start, sql);
        at = span.end;
        const bool code = span.kind == Kind::Code;
        FUZZ_CHECK(!(code && afterCode), sql); // code runs are whole
        afterCode = code;
        if (code)
            continue;
        const QString shown = sql + QStringLiteral("\n  span: ") + scan.textOf(span).toString();
        FUZZ_CHECK(piece < model.pieces.size(), shown);
        const StatementModel::Piece &wanted = model.pieces[piece++];
        const char kind = span.kind == Kind::Literal ? 'l' : span.kind == Kind::Name ? 'n' : 'c';
        FUZZ_CHECK(wanted.kind == kind && wanted.at == span.start && wanted.end == span.end, shown);
        if (span.kind == Kind::Comment) {
            const bool open = scan.textOf(span).startsWith(QLatin1String("/*")) &&
                              (span.end - span.start < 4 || !scan.textOf(span).endsWith(QLatin1String("*/")));
            FUZZ_CHECK(span.closed == !open, shown);
            continue;
        }
        const QChar opening = sql[span.start];
        const QChar closing = opening == QLatin1Char('[') ? QLatin1Char(']') : opening;
        const QString quoted = opening + scan.value(span).replace(closing, QString(2, closing)) +
                               (span.closed ? QString(closing) : QString());
        FUZZ_CHECK(quoted == scan.textOf(span), shown + QStringLiteral("\n  value: ") + scan.value(span));
    }
    FUZZ_CHECK(at == sql.size() && piece == model.pieces.size(), sql);

    const QString code = SqlText::codeOnly(sql);
    FUZZ_CHECK(code.size() == sql.size(), sql);
    for (int i = 0; i < sql.size(); ++i) {
        if (model.code[i]) {
            FUZZ_CHECK(code[i] == sql[i], sql);
        } else if (code[i] != QLatin1Char(' ')) {
            const StatementScanner::Span &span = scan.spanAt(i);
            FUZZ_CHECK(span.kind != Kind::Comment && code[i] == sql[i] &&
                           (i == span.start || (i == span.end - 1 && span.closed)),
                       sql + QStringLiteral("\n  code: ") + code);
        }
    }
    FUZZ_CHECK(SqlText::codeOnly(code) == code, sql);
}

// Whether a table name is in the text as it is or quoted in one of the ways.
bool inText(const QString &sql, const QString &name) {
    if (sql.contains(name))
        return true;
    for (const QString &quotes : {QStringLiteral("[]"), QStringLiteral("\"\""), QStringLiteral("``")}) {
        const QString doubled = QString(name).replace(quotes[1], QString(2, quotes[1]));
        if (sql.contains(quotes[0] + doubled + quotes[1]))
            return true;
    }
    return false;
}

void checkReadings(const QString &sql) {
    static const QRegularExpression word(QStringLiteral("^\\w+$"), QRegularExpression::UseUnicodePropertiesOption);
    static const QStringList keywords = {"where", "join",  "inner",  "left",  "right", "full",    "cross", "on",
                                         "order", "group", "having", "union", "limit", "natural", "outer"};
    for (const SqlText::TableRef &ref : SqlText::tableReferences(sql)) {
        FUZZ_CHECK(!ref.table.isEmpty() && inText(sql, ref.table), sql);
        FUZZ_CHECK(ref.alias.isEmpty() || (word.match(ref.alias).hasMatch() && sql.contains(ref.alias) &&
                                           !keywords.contains(ref.alias, Qt::CaseInsensitive)),
                   sql);
    }
    for (const QString &item : SqlText::selectItems(sql)) {
        FUZZ_CHECK(sql.contains(item) && item == item.trimmed(), sql);
        FUZZ_CHECK(!item.endsWith(QLatin1Char('*')), sql);
    }

    const bool aggregate = SqlText::isAggregate(sql);
    const QString expression = QStringLiteral("t.rowid");
    const QString keyed = SqlText::withRowKey(sql, expression);
    if (keyed.isEmpty())
        return;
    FUZZ_CHECK(!aggregate, sql);
    const QString inserted = QLatin1Char(' ') + expression + QStringLiteral(" as \"__rowkey\",");
    FUZZ_CHECK(keyed.size() == sql.size() + inserted.size(), sql);
    static const QRegularExpression select(QStringLiteral("^\\s*select\\b(\\s+all\\b)?\\s*$"),
                                           QRegularExpression::CaseInsensitiveOption);
    bool found = false;
    for (int at = static_cast<int>(keyed.indexOf(inserted)); at >= 0 && !found;
         at = static_cast<int>(keyed.indexOf(inserted, at + 1)))
        found = QStringView(keyed).left(at) == QStringView(sql).left(at) &&
                QStringView(keyed).mid(at + inserted.size()) == QStringView(sql).mid(at) &&
                select.match(SqlText::codeOnly(sql.left(at))).hasMatch();
    FUZZ_CHECK(found, sql + QStringLiteral("\n  keyed: ") + keyed);
}

// A literal the rewrite wrote itself: the picture of a Convert it spelled out.
bool isPicture(const QString &out, const StatementModel::Literal &literal) {
    static const QStringList pictures = {"'DD.MM.YYYY'", "'DD/MM/YYYY'", "'YYYY.MM.DD'", "'YYYY-MM-DD'",
                                         "'YYYY-MM-DD HH24:MI:SS'"};
    return pictures.contains(literal.text) && literal.at > 0 && out[literal.at - 1] == QLatin1Char(',') &&
           QStringView(out).mid(literal.at + literal.text.size()).startsWith(QLatin1String(") as char("));
}

QString checkRewrite(const QString &sql) {
    const QString out = PostgresText::rewrite(sql);
    const StatementModel::Reading before = StatementModel::read(sql);
    const StatementModel::Reading after = StatementModel::read(out);
    // The literals after are those before, in order, where an alias may have
    // become a name and a picture may stand between them.
    const auto &wanted = before.literals;
    std::vector<char> reach(wanted.size() + 1, 0);
    auto skipAliases = [&] {
        for (int k = 0; k < wanted.size(); ++k)
            if (reach[k] && wanted[k].alias)
                reach[k + 1] = 1;
    };
    reach[0] = 1;
    skipAliases();
    for (const StatementModel::Literal &literal : after.literals) {
        std::vector<char> next(reach.size(), 0);
        const bool picture = isPicture(out, literal);
        for (int k = 0; k <= wanted.size(); ++k) {
            if (!reach[k])
                continue;
            if (picture)
                next[k] = 1;
            if (k < wanted.size() && wanted[k].text == literal.text)
                next[k + 1] = 1;
        }
        reach.swap(next);
        skipAliases();
    }
    FUZZ_CHECK(reach.back(), sql + QStringLiteral("\n  rewritten: ") + out);
    return out;
}

void checkServerText(const QString &sql, const QString &rewritten) {
    if (sql.contains(QChar(0))) {
        bool refused = false;
        try {
            PostgresDialect::serverText(sql);
        } catch (const EDatabaseError &) {
            refused = true;
        }
        FUZZ_CHECK(refused, sql);
        return;
    }
    QString server;
    try {
        server = PostgresDialect::serverText(sql);
    } catch (const EDatabaseError &error) {
        FUZZ_CHECK(false, sql + QStringLiteral("\n  refused: ") + error.message());
    }
    const QByteArray code = StatementModel::read(rewritten).code;
    int i = 0, j = 0, marker = 0;
    while (i < rewritten.size()) {
        const QChar c = rewritten[i];
        if (j < server.size() && server[j] == c) {
            FUZZ_CHECK(c != QLatin1Char('?') || !code[i], sql + QStringLiteral("\n  server: ") + server);
            ++i;
            ++j;
            continue;
        }
        const QString number = QLatin1Char('$') + QString::number(++marker);
        FUZZ_CHECK(c == QLatin1Char('?') && code[i] && QStringView(server).mid(j).startsWith(number),
                   sql + QStringLiteral("\n  server: ") + server);
        ++i;
        j += static_cast<int>(number.size());
    }
    FUZZ_CHECK(j == server.size(), sql + QStringLiteral("\n  server: ") + server);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString sql = FuzzKit::text(data, size);
    checkScanner(sql);
    checkReadings(sql);
    checkServerText(sql, checkRewrite(sql));
    return 0;
}
