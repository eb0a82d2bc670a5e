#include "data/datasets/ParameterList.h"
#include "data/datasets/EDatabaseError.h"

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

bool isQuote(QChar c) { return c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`'); }
} // namespace

ParsedStatement parseParameters(const QString &text) {
    ParsedStatement parsed;
    parsed.sql.reserve(text.size());
    QChar quote;
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            parsed.sql += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (isQuote(c)) {
            quote = c;
            parsed.sql += c;
            continue;
        }
        if (c != QLatin1Char(':')) {
            parsed.sql += c;
            continue;
        }
        if (i + 1 < n && text[i + 1] == QLatin1Char(':')) {
            parsed.sql += c; // two colons: one literal colon
            ++i;
            continue;
        }
        int end = i + 1;
        while (end < n && !endsName(text[end]))
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
    return parsed;
}
