#include "data/datasets/ParameterList.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/StatementScanner.h"

TParameter &TParameters::AddParameter() {
    m_items.push_back(std::make_unique<TParameter>());
    return *m_items.back();
}

const TParameter *TParameters::FindParam(const QString &name) const {
    for (const auto &item : m_items)
        if (item->Name.compare(name, Qt::CaseInsensitive) == 0)
            return item.get();
    return nullptr;
}

const TParameter &TParameters::ParamByName(const QString &name) const {
    if (const TParameter *parameter = FindParam(name))
        return *parameter;
    throw EDatabaseError(QStringLiteral("Parameter '%1' not found").arg(name));
}

namespace {
bool endsName(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char(',') || c == QLatin1Char(';') || c == QLatin1Char(')') ||
           c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t');
}
} // namespace

ParsedStatement parseParameters(const QString &text) {
    ParsedStatement parsed;
    parsed.sql.reserve(text.size());
    const StatementScanner scan(text);
    for (const StatementScanner::Span &span : scan.spans()) {
        if (span.kind != StatementScanner::Kind::Code) {
            parsed.sql += scan.textOf(span);
            continue;
        }
        for (int i = span.start; i < span.end; ++i) {
            const QChar c = text[i];
            if (c != QLatin1Char(':')) {
                parsed.sql += c;
                continue;
            }
            if (i + 1 < span.end && text[i + 1] == QLatin1Char(':')) {
                parsed.sql += c; // two colons: one literal colon
                ++i;
                continue;
            }
            int end = i + 1;
            while (end < span.end && !endsName(text[end]))
                ++end;
            if (end == i + 1) {
                parsed.sql += c; // a colon with no name is no marker
                continue;
            }
            parsed.names.append(text.mid(i + 1, end - i - 1));
            parsed.positions.append(i);
            parsed.sql += QLatin1Char('?');
            i = end - 1;
        }
    }
    return parsed;
}
