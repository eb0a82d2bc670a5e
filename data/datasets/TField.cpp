#include "data/datasets/TField.h"
#include "data/datasets/DateText.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/TDataSet.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <cmath>

namespace {
QLocale numberLocale() {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

// Fifteen digits, as the user typed them; but the largest reals would round up
// past the largest there is and could not be typed back, so they are shown whole.
QString formatFloat(double value) {
    const bool largest = std::fabs(value) > 1.79769313486231e308;
    return numberLocale().toString(value, 'g', largest ? QLocale::FloatingPointShortest : 15);
}

} // namespace

TField::TField(TDataSet *dataSet, QString name, FieldType type, int size, int displayWidth, bool readOnly)
    : m_dataSet(dataSet), m_name(std::move(name)), m_type(type), m_size(size),
      m_displayWidth(displayWidth > 0 ? displayWidth : defaultDisplayWidth(type, size)),
      m_readOnly(readOnly || type == FieldType::AutoInc) {}

QVariant TField::Value() const { return m_dataSet->fieldValue(*this); }

QString TField::AsString() const {
    const QVariant v = Value();
    if (v.isNull())
        return QString();
    if (typeClassOf(m_type) == TypeClass::Text)
        return v.toString();
    return displayTextOf(v);
}

QString TField::displayTextOf(const QVariant &value) const {
    if (value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: return formatFloat(value.toDouble());
    case QMetaType::QDate: return QLocale().toString(value.toDate(), QLocale::ShortFormat);
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (dt.time() == QTime(0, 0))
            return QLocale().toString(dt.date(), QLocale::ShortFormat);
        return QLocale().toString(dt, QLocale::ShortFormat);
    }
    default: return value.toString();
    }
}

QVariant TField::valueFromText(const QString &text) const {
    if (text.isEmpty())
        return QVariant();
    switch (m_type) {
    case FieldType::Integer:
    case FieldType::AutoInc: {
        bool ok = false;
        const qint64 n = text.trimmed().toLongLong(&ok);
        if (!ok)
            throw EDatabaseError(QStringLiteral("'%1' is not a valid integer value for field '%2'").arg(text, m_name));
        return QVariant(n);
    }
    case FieldType::Float: {
        bool ok = false;
        const QString t = text.trimmed();
        double d = numberLocale().toDouble(t, &ok);
        if (!ok)
            d = QLocale::c().toDouble(t, &ok);
        // "nan" and "inf" read as numbers but are none the store can keep.
        if (!ok || !std::isfinite(d))
            throw EDatabaseError(
                QStringLiteral("'%1' is not a valid floating point value for field '%2'").arg(text, m_name));
        return QVariant(d);
    }
    case FieldType::Date:
    case FieldType::DateTime: {
        const QDate date = dateFromText(text);
        if (!date.isValid())
            throw EDatabaseError(QStringLiteral("'%1' is not a valid date").arg(text));
        return m_type == FieldType::Date ? QVariant(date) : QVariant(date.startOfDay());
    }
    default: return QVariant(text);
    }
}

void TField::setValue(const QVariant &value) { m_dataSet->setFieldValue(*this, value); }

void TField::setAsString(const QString &text) { setValue(valueFromText(text)); }

bool TField::IsValidChar(QChar c) const {
    switch (m_type) {
    case FieldType::Integer:
    case FieldType::AutoInc: return c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-');
    case FieldType::Float: {
        const QString decimal = QLocale().decimalPoint();
        return c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('e') ||
               c == QLatin1Char('E') || (!decimal.isEmpty() && c == decimal.front());
    }
    default: return true;
    }
}

QChar TField::typedChar(QChar c) const {
    const QString decimal = QLocale().decimalPoint();
    if (m_type == FieldType::Float && decimal.size() == 1 &&
        (decimal.front() == QLatin1Char('.') || decimal.front() == QLatin1Char(',')) &&
        (c == QLatin1Char('.') || c == QLatin1Char(',')))
        return decimal.front();
    return c;
}

bool TField::CanModify() const { return !m_readOnly && m_type != FieldType::Blob && m_dataSet->CanModify(); }
