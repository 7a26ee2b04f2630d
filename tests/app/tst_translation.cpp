#include "mainwindow.h"
#include "messagelog.h"
#include "startup.h"
#include "testmain.h"
#include "windowprobe.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>
#include <QTranslator>

// The system language must be German before the application object reads it.
static void germanSystem()
{
    qputenv("LANG", "de_DE.UTF-8");
    qputenv("LC_ALL", "de_DE.UTF-8");
    qputenv("LANGUAGE", "de");
}
Q_CONSTRUCTOR_FUNCTION(germanSystem)

class tst_Translation : public QObject
{
    Q_OBJECT

private slots:
    void germanSystemGetsGermanTexts();
};

void tst_Translation::germanSystemGetsGermanTexts()
{
    QTranslator qtTranslator;
    QTranslator myTranslator;
    {
        testsupport::MessageLog log;
        startup::installTranslations(&qtTranslator, &myTranslator);
        const QStringList expected = {QString("locale: %1").arg(int(QLocale::German)),
                                      "qtTranslator ok", "qtTranslator installed",
                                      "my translator ok", "my translator installed"};
        QCOMPARE(log.messages(), expected);
    }

    CommandLineOptions options;
    options.serialNumber = "no-such-device";
    MainWindow window(nullptr, &options);
    QCOMPARE(testsupport::statusText(&window), QString("Bereit"));
    QVERIFY(testsupport::actionNamed(&window, "&Verbinden"));

    // Qt's own texts come from the merged qt_de.qm.
    QDialogButtonBox buttons(QDialogButtonBox::Abort);
    QCOMPARE(buttons.button(QDialogButtonBox::Abort)->text(), QString("Abbrechen"));
}

KORVIX_TEST_MAIN(tst_Translation)
#include "tst_translation.moc"
