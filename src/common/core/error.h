// The exception that carries a failure the user must hear about.
#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace velmira {

// A failure with a message for the user. Thrown by the logic, caught by the command that the user
// started, which shows the message as the program documents it.
class Error : public std::exception
{
public:
    explicit Error(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

} // namespace velmira
