#include "settingsstore.h"

#include <QSettings>

namespace settingsstore {

namespace {
QString extrasKey(const QString &key)
{
    return QStringLiteral("extras/") + key;
}

QString functionKeyName(int n)
{
    return QStringLiteral("F") + QString::number(n);
}
} // namespace

void load(TerminalSettings *settings, QPoint *windowPos, QSize *windowSize)
{
    QSettings store(QStringLiteral("velmorand"), QStringLiteral("korvix"));
    *windowPos = store.value(QStringLiteral("pos"), QPoint(200, 200)).toPoint();
    *windowSize = store.value(QStringLiteral("size"), QSize(600, 400)).toSize();
    // Stored unsigned; read back as unsigned and only then made the record's signed rate.
    settings->baudRate =
        static_cast<qint32>(store.value(QStringLiteral("baudrate"), QVariant(9600u)).toUInt());
    settings->localEchoEnabled = store.value(QStringLiteral("localecho"), false).toBool();
    settings->tools.isCRLF = store.value(QStringLiteral("isCRLF"), false).toBool();
    settings->tools.functionKeys.clear();
    for (int n = 1; n <= functionKeyCount; ++n) {
        const QString key = functionKeyName(n);
        settings->tools.functionKeys.append(
            store.value(QStringLiteral("key") + key, key).toString());
    }
}

void store(const TerminalSettings &settings, const QPoint &windowPos, const QSize &windowSize,
           CommandLineOverrides overrides)
{
    QSettings store(QStringLiteral("velmorand"), QStringLiteral("korvix"));
    store.setValue(QStringLiteral("pos"), windowPos);
    store.setValue(QStringLiteral("size"), windowSize);
    store.setValue(QStringLiteral("isCRLF"), settings.tools.isCRLF);
    if (!overrides.baudRate)
        store.setValue(QStringLiteral("baudrate"), QVariant(quint32(settings.baudRate)));
    if (!overrides.localEcho)
        store.setValue(QStringLiteral("localecho"), settings.localEchoEnabled);
    const QStringList &keys = settings.tools.functionKeys;
    if (keys.size() == functionKeyCount) {
        for (int n = 1; n <= functionKeyCount; ++n)
            store.setValue(QStringLiteral("keyF") + QString::number(n), keys.at(n - 1));
    }
}

QVariant extraValue(const QString &key, const QVariant &defaultValue)
{
    const QSettings store(QStringLiteral("velmorand"), QStringLiteral("korvix"));
    return store.value(extrasKey(key), defaultValue);
}

void setExtraValue(const QString &key, const QVariant &value)
{
    QSettings store(QStringLiteral("velmorand"), QStringLiteral("korvix"));
    store.setValue(extrasKey(key), value);
}

} // namespace settingsstore
