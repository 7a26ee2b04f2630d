// The program's side of an umockdev script, spoken through a QSerialPort: each "w" is written
// once every "r" before it has been read, and what is read must be the "r" data, in order.
//   umockdevclient PORT SCRIPT    exit status 0 when the session went as recorded
#include "umockdevscript.h"

#include <QCoreApplication>
#include <QSerialPort>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 3)
        return 2;
    const umockdevscript::Script script = umockdevscript::read(QString::fromLocal8Bit(argv[2]));
    QSerialPort port(QString::fromLocal8Bit(argv[1]));
    if (!script.error.isEmpty() || !port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "cannot start: %s %s\n", qPrintable(script.error),
                     qPrintable(port.errorString()));
        return 2;
    }
    QByteArray expected, received;
    int next = 0;
    const auto finish = [&](bool asRecorded) {
        if (!asRecorded)
            std::fprintf(stderr, "expected %s\nreceived %s\n",
                         umockdevscript::escape(expected).constData(),
                         umockdevscript::escape(received).constData());
        QCoreApplication::exit(asRecorded ? 0 : 1);
    };
    const auto playOn = [&] {
        for (; next < script.operations.size(); ++next) {
            const umockdevscript::Operation &operation = script.operations.at(next);
            if (operation.code == 'w' && received.size() < expected.size())
                return;
            if (operation.code == 'w')
                port.write(operation.data);
            else if (operation.code == 'r')
                expected += operation.data;
        }
        if (received.size() >= expected.size())
            finish(received == expected);
    };
    QObject::connect(&port, &QSerialPort::readyRead, [&] {
        received += port.readAll();
        if (!expected.startsWith(received.left(expected.size())))
            finish(false);
        else
            playOn();
    });
    QTimer::singleShot(60000, [&] { finish(false); });
    playOn();
    return QCoreApplication::exec();
}
