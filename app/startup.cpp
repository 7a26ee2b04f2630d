#include "startup.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLocale>
#include <QTranslator>

#include <cstring>

namespace startup {

bool displayReachable(int argc, char **argv)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0)
            return true;
    }
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    Q_UNUSED(argc)
    Q_UNUSED(argv)
    return true;
#endif
}

void installTranslations(QTranslator *qtTranslator, QTranslator *myTranslator)
{
    const QLocale::Language language = QLocale::system().language();
    qDebug("locale: %d", int(language));
    if (QLocale(language, QLocale::AnyCountry) != QLocale(QLocale::German, QLocale::AnyCountry))
        return;

    const QString dir = QCoreApplication::applicationDirPath();
    if (qtTranslator->load(dir + QStringLiteral("/translations/qt_de.qm"))) {
        qDebug("qtTranslator ok");
        if (QCoreApplication::installTranslator(qtTranslator))
            qDebug("qtTranslator installed");
    } else {
        qDebug("qtTranslator not found");
    }
    if (myTranslator->load(dir + QStringLiteral("/translations/korvix_de.qm"))) {
        qDebug("my translator ok");
        if (QCoreApplication::installTranslator(myTranslator))
            qDebug("my translator installed");
    } else {
        qDebug("myTranslator not found");
    }
}

} // namespace startup
