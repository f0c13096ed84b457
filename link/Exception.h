// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <exception>

namespace tarvex {

// Base of every error the program reports to the fitter. The text is shown
// unchanged by the window's general error report.
class Exception : public std::exception {
public:
    explicit Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A text that should have been a number, or an assignment between objects of
// unrelated kinds.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// "'%s' is not a valid integer value"
EConvertError invalidInteger(const QString &text);

} // namespace tarvex
