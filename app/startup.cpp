#include "startup.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLocale>
#include <QTranslator>

#include <cstring>

#ifdef __GLIBC__
#include <malloc.h>
#endif

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

void returnLargeBuffersToTheSystem()
{
#ifdef __GLIBC__
    // A fixed threshold also stops glibc from raising it after each large free, which would move
    // such buffers into the heap, where they stay.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
}

namespace {

struct InstallTraces
{
    const char *loaded;
    const char *installed;
    const char *missing;
};

void install(QTranslator *translator, const char *file, const InstallTraces &traces)
{
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/translations/") +
                         QLatin1String(file);
    if (!translator->load(path)) {
        qDebug("%s", traces.missing);
        return;
    }
    qDebug("%s", traces.loaded);
    if (QCoreApplication::installTranslator(translator))
        qDebug("%s", traces.installed);
}

} // namespace

void installTranslations(QTranslator *qtTranslator, QTranslator *myTranslator)
{
    const QLocale::Language language = QLocale::system().language();
    qDebug("locale: %d", int(language));
    if (QLocale(language, QLocale::AnyCountry) != QLocale(QLocale::German, QLocale::AnyCountry))
        return;

    install(qtTranslator, "qt_de.qm",
            {"qtTranslator ok", "qtTranslator installed", "qtTranslator not found"});
    install(myTranslator, "korvix_de.qm",
            {"my translator ok", "my translator installed", "myTranslator not found"});
}

} // namespace startup
