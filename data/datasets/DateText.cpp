#include "data/datasets/DateText.h"

#include <QLocale>

QDate dateFromText(const QString &text) {
    const QLocale locale;
    for (const QString &format : {locale.dateFormat(QLocale::ShortFormat), QStringLiteral("dd.MM.yyyy"),
                                  QStringLiteral("d.M.yyyy"), QStringLiteral("yyyy-MM-dd")}) {
        const QDate date = QDate::fromString(text.trimmed(), format);
        if (date.isValid())
            return date;
    }
    return QDate();
}
