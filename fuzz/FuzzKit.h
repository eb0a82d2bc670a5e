#pragma once
// What every fuzz target shares: the input read as text, a check that stops
// the run with the input's reading, and the one Qt application and in-memory
// store a process needs. Each target is one LLVMFuzzerTestOneInput, built for
// libFuzzer with clang (DREVALON_FUZZ) and, in the normal build, run by
// RegressionMain.cpp over every file of its corpus.
#include "data/datasets/SqliteDialect.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QString>
#include <QStringDecoder>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>

namespace FuzzKit {

/// UTF-8 as text, every character kept: a malformed sequence reads as the
/// replacement character, and a U+FEFF at the start stays (QString::fromUtf8
/// drops it as a byte order mark).
inline QString utf8(const char *bytes, std::size_t size) {
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes, static_cast<qsizetype>(size)));
}

/// The bytes as text: UTF-8, or after a UTF-16LE byte order mark (FF FE) the
/// code units as they are, which can hold what UTF-8 cannot: a surrogate
/// without its partner.
inline QString text(const std::uint8_t *data, std::size_t size) {
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        QString units;
        for (std::size_t i = 2; i + 1 < size; i += 2)
            units += QChar(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
        return units;
    }
    return utf8(reinterpret_cast<const char *>(data), size);
}

/// Text with the characters a terminal would hide spelled out, for a report.
inline QByteArray shown(const QString &value) {
    QByteArray out;
    for (const QChar c : value) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F && c != QLatin1Char('\\'))
            out += static_cast<char>(c.unicode());
        else
            out += QByteArray("\\u") + QByteArray::number(c.unicode(), 16).rightJustified(4, '0');
    }
    return out;
}

[[noreturn]] inline void fail(const char *file, int line, const char *condition, const QString &detail) {
    std::fprintf(stderr, "%s:%d: property violated: %s\n  %s\n", file, line, condition, shown(detail).constData());
    std::fflush(stderr);
    std::abort(); // a finding for libFuzzer, a failed test for the regression run
}

/// A Qt application for the process (plugins, locale), made once.
inline void ensureApplication() {
    static int argc = 1;
    static char name[] = "drevalon-fuzz";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv); // lives as long as the process
}

/// One in-memory SQLite store for the process, with the program's functions.
inline QSqlDatabase memoryStore() {
    static const QString connection = [] {
        ensureApplication();
        const QString name = QStringLiteral("fuzz");
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        SqliteDialect::openMemory(db);
        return name;
    }();
    return QSqlDatabase::database(connection, false);
}

/// The SQLite handle of a Qt connection.
inline sqlite3 *handleOf(const QSqlDatabase &db) {
    const QVariant v = db.driver()->handle();
    return v.isValid() ? *static_cast<sqlite3 *const *>(v.constData()) : nullptr;
}

} // namespace FuzzKit

/// Stops the run when a property does not hold; `detail` says with what.
#define FUZZ_CHECK(condition, detail)                                                                                  \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            FuzzKit::fail(__FILE__, __LINE__, #condition, (detail));                                                   \
    } while (false)
