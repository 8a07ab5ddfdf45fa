#pragma once

#include <QString>
#include <exception>

// Base of every error the program raises on purpose: the MIDI ports' errors and the
// file errors. It carries nothing but its message; the application object shows it.
class AppException : public std::exception
{
public:
    explicit AppException(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A file that could not be written or created.
class FileError : public AppException
{
public:
    using AppException::AppException;
};
