#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// umockdev's script format (umockdev-record and umockdev-run 0.17): what a program read from
// and wrote to a device, one operation a line, as "CODE VALUE DATA":
//   r MS DATA      the device sent DATA, MS milliseconds after the operation before
//   w MS DATA      the program wrote DATA, MS milliseconds after the operation before
//   f PERCENT -    from here on a played w may differ from the program's bytes in this share
//   d 0 PATH       the device recorded from; written first, ignored by players
//   Q ...          the end: nothing after it is read
//   # ...          a comment
// DATA keeps every byte from 32 up as it is, '^' excepted, which is "^`"; a byte below 32 is '^'
// and the byte plus 64 ("^@" for 0, "^J" for a line feed). This is what umockdev-record writes.
//
// Two habits of umockdev-run 0.17 that a script cannot help: it reads a DATA that begins with
// spaces without them (it passes over white space after the value, and no escape stands for a
// space), and it starts a script over whenever it comes to a "w" while no program has the port
// open, sending the "r" before it again. This reader keeps the spaces.
namespace umockdevscript {

struct Operation
{
    char code = 'r';  // r, w or f
    qint64 value = 0; // the delay in milliseconds, or the fuzz percentage
    QByteArray data;
    int line = 0; // in the file it came from
};

QByteArray escape(const QByteArray &bytes);
void appendEscaped(QByteArray *text, const QByteArray &bytes);
// False when `text` holds a '^' that escapes nothing.
bool unescape(const QByteArray &text, QByteArray *bytes);

// One whole line, line feed included.
void appendLine(QByteArray *text, char code, qint64 value, const QByteArray &bytes);

struct Script
{
    QVector<Operation> operations;
    QByteArray device; // from the d line; empty without one
    QString error;     // empty when the whole text was read
    int errorLine = 0;
};

Script parse(const QByteArray &text);
Script read(const QString &path);

} // namespace umockdevscript
