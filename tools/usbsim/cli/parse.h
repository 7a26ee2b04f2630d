#pragma once

#include <QByteArray>
#include <QString>

// Parsers for command-line values; each returns false and sets a message fit for the user.
namespace usbsim::parse {

bool usbId(const QString &text, const char *what, quint16 *value, QString *error);
bool hexBytes(const QString &text, QByteArray *bytes, QString *error);
// A count of bytes, with an optional K, M or G suffix (powers of 1024).
bool byteCount(const QString &text, const char *what, qint64 *value, QString *error);
bool seed(const QString &text, quint32 *value, QString *error);
// --string values: \r \n \t \\ \0 and \xHH stand for the bytes; everything else is itself.
bool escapedString(const QString &text, QByteArray *bytes, QString *error);
bool adapterId(const QString &text, QString *error);
bool portName(const QString &text, QString *error);

} // namespace usbsim::parse
