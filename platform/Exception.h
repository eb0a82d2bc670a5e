#pragma once
#include <QByteArray>
#include <QString>
#include <exception>

/// The one error type every layer of the program raises. It carries the text the
/// user sees and the name of its kind, which the fatal start-up box names.
class Exception : public std::exception {
public:
    explicit Exception(QString message, QString kind = QStringLiteral("Exception"))
        : m_message(std::move(message)), m_kind(std::move(kind)), m_utf8(m_message.toUtf8()) {}

    const QString &message() const { return m_message; }
    const QString &kind() const { return m_kind; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QString m_kind;
    QByteArray m_utf8;
};
