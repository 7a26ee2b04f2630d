#include "console.h"
#include "isolatedhome.h"
#include "messagelog.h"

#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

KORVIX_ISOLATE_HOME

namespace {

QByteArray allBytes()
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes.append(char(b));
    return bytes;
}

QStringList blockTexts(const Console &console)
{
    QStringList texts;
    for (QTextBlock block = console.document()->begin(); block.isValid(); block = block.next())
        texts << block.text();
    return texts;
}

QColor colourOfFirstCharacter(const QTextBlock &block)
{
    const QVector<QTextLayout::FormatRange> formats = block.textFormats();
    return formats.isEmpty() ? QColor() : formats.first().format.foreground().color();
}

} // namespace

class tst_Console : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void look();
    void textModeConvertsEachByte_data();
    void textModeConvertsEachByte();
    void textModeOverEveryByteValue();
    void hexModeOverEveryByteValue();
    void chunkEndingInLineFeedGetsAnEmptyParagraph_data();
    void chunkEndingInLineFeedGetsAnEmptyParagraph();
    void receivedTextIsYellowAndMarkupIsRendered();
    void emptyChunkOnlyScrolls();
    void documentKeepsAtMostHundredParagraphs();
    void hugeChunksStayWithinTheCharacterBudget();

    void ordinaryKeys_data();
    void ordinaryKeys();
    void swallowedKeys_data();
    void swallowedKeys();
    void functionKeys_data();
    void functionKeys();
    void functionKeyStringsAreReadAtEachPress();
    void hexModeKeysSwitchDisplayOnly();
    void mouseOnlyFocuses();

private:
    Console *console = nullptr;
    QStringList keyStrings;
};

void tst_Console::init()
{
    keyStrings = QStringList{"F1", "F2", "AT", "F4", "F5", "F6", "", "\xc3\xa9", "F9", "F10"};
    console = new Console(nullptr, &keyStrings);
    console->show();
    QVERIFY(QTest::qWaitForWindowExposed(console));
}

void tst_Console::cleanup()
{
    delete console;
    console = nullptr;
}

void tst_Console::look()
{
    QCOMPARE(console->document()->maximumBlockCount(), 100);
    QCOMPARE(console->palette().color(QPalette::Active, QPalette::Base), QColor(Qt::black));
    QCOMPARE(console->palette().color(QPalette::Inactive, QPalette::Text), QColor(Qt::white));
    QCOMPARE(console->document()->defaultFont().family(), QString("Courier New"));
    QVERIFY(!console->isReadOnly());
}

void tst_Console::textModeConvertsEachByte_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("shown");
    const int rows[][2] = {{0x00, '.'}, {0x09, '.'},  {0x0a, 0x0d}, {0x0b, '.'}, {0x0d, '.'},
                           {0x1b, '.'}, {0x1f, '.'},  {0x20, ' '},  {0x41, 'A'}, {0x3c, '<'},
                           {0x7e, '~'}, {0x7f, 0x7f}, {0x80, '.'},  {0xa9, '.'}, {0xff, '.'}};
    for (const auto &row : rows)
        QTest::addRow("0x%02x", row[0]) << row[0] << row[1];
}

void tst_Console::textModeConvertsEachByte()
{
    QFETCH(int, byte);
    QFETCH(int, shown);
    testsupport::MessageLog log;
    console->putData(QByteArray(1, char(byte)) + "z");
    // The debug line holds the converted chunk exactly.
    QCOMPARE(log.messages(), QStringList{QString(QChar(shown)) + "z"});
}

void tst_Console::textModeOverEveryByteValue()
{
    testsupport::MessageLog log;
    console->putData(allBytes());
    QCOMPARE(log.messages().size(), 1);
    const QString shown = log.messages().first();
    QCOMPARE(shown.size(), 256);
    QCOMPARE(shown.count('\r'), 1);
    QCOMPARE(shown.count(QChar(0x2e)), 159 + 1); // 31 control bytes, 128 high ones, the dot itself
    for (int b = 0x20; b <= 0x7f; ++b)
        QCOMPARE(shown.at(b), QChar(b));
}

void tst_Console::hexModeOverEveryByteValue()
{
    QSignalSpy sent(console, &Console::getData);
    QTest::keyClick(console, Qt::Key_F11);
    QCOMPARE(sent.count(), 0);

    testsupport::MessageLog log;
    console->putData(allBytes());
    QStringList items;
    for (int b = 0; b < 256; ++b)
        items << QString("0x%1").arg(b, 2, 16, QChar('0'));
    // The notation starts every item with a space; the rich-text parser drops the leading one.
    QCOMPARE(blockTexts(*console), QStringList{items.join(' ')});
    QCOMPARE(log.messages(), QStringList{});
}

void tst_Console::chunkEndingInLineFeedGetsAnEmptyParagraph_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<QStringList>("blocks");
    QTest::newRow("CR LF") << QByteArray("AB\r\n") << QStringList{"AB. ", "", ""};
    QTest::newRow("no line end") << QByteArray("AB") << QStringList{"AB"};
    QTest::newRow("LF inside") << QByteArray("A\nB") << QStringList{"A B"};
    QTest::newRow("LF CR") << QByteArray("A\n\r") << QStringList{"A ."};
}

void tst_Console::chunkEndingInLineFeedGetsAnEmptyParagraph()
{
    QFETCH(QByteArray, chunk);
    QFETCH(QStringList, blocks);
    console->putData(chunk);
    QCOMPARE(blockTexts(*console), blocks);
}

void tst_Console::receivedTextIsYellowAndMarkupIsRendered()
{
    console->putData("plain");
    console->putData("<b>x");
    const QTextBlock plain = console->document()->firstBlock();
    QCOMPARE(plain.text(), QString("plain"));
    QCOMPARE(colourOfFirstCharacter(plain), QColor("#ffff00"));
    const QTextBlock markup = plain.next();
    QCOMPARE(markup.text(), QString("x"));
    QCOMPARE(colourOfFirstCharacter(markup), QColor("#ffff00"));
    QCOMPARE(markup.textFormats().first().format.fontWeight(), int(QFont::Bold));
}

void tst_Console::emptyChunkOnlyScrolls()
{
    for (int i = 0; i < 60; ++i)
        console->putData("line\n");
    QScrollBar *bar = console->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    bar->setValue(0);
    const int blocks = console->document()->blockCount();

    testsupport::MessageLog log;
    console->putData(QByteArray());
    QCOMPARE(console->document()->blockCount(), blocks);
    QCOMPARE(log.messages(), QStringList{});
    QCOMPARE(bar->value(), bar->maximum());
}

void tst_Console::documentKeepsAtMostHundredParagraphs()
{
    for (int i = 1; i <= 101; ++i)
        console->putData(QByteArray::number(i));
    const QStringList blocks = blockTexts(*console);
    QCOMPARE(blocks.size(), 100);
    QCOMPARE(blocks.first(), QString("2"));
    QCOMPARE(blocks.last(), QString("101"));
}

void tst_Console::hugeChunksStayWithinTheCharacterBudget()
{
    QByteArray chunk;
    for (quint32 i = 0; i < 300000; ++i)
        chunk.append(char((i * 7919u) >> 3));
    testsupport::MessageLog log;
    for (int i = 0; i < 5; ++i)
        console->putData(chunk);
    QCOMPARE(log.messages().first().size(), chunk.size());
    QVERIFY(console->document()->characterCount() <= Console::maximumCharacters);
    QCOMPARE(console->document()->blockCount(), 3);

    // A chunk larger than the budget on its own still shows whole, alone.
    QTest::keyClick(console, Qt::Key_F11);
    console->putData(chunk);
    QCOMPARE(console->document()->blockCount(), 1);
    QCOMPARE(console->document()->firstBlock().text().size(), chunk.size() * 5 - 1);
    console->putData("small");
    QCOMPARE(blockTexts(*console), QStringList{"0x73 0x6d 0x61 0x6c 0x6c"});
}

void tst_Console::ordinaryKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("echo");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("traces");

    QTest::newRow("echo off") << int(Qt::Key_A) << "a" << false << false << QByteArray("a") << ""
                              << QStringList{};
    QTest::newRow("echo on, text")
        << int(Qt::Key_A) << "a" << true << false << QByteArray("a") << "a" << QStringList{};
    QTest::newRow("echo on, hex") << int(Qt::Key_A) << "a" << true << true << QByteArray("a")
                                  << " 0x61" << QStringList{"holla 1"};
    QTest::newRow("echo off, hex")
        << int(Qt::Key_A) << "a" << false << true << QByteArray("a") << "" << QStringList{};
    QTest::newRow("return") << int(Qt::Key_Return) << "\r" << false << false << QByteArray("\r")
                            << "" << QStringList{};
    QTest::newRow("shift alone, hex echo")
        << int(Qt::Key_Shift) << "" << true << true << QByteArray() << "" << QStringList{"holla 0"};
    QTest::newRow("escape") << int(Qt::Key_Escape) << "\x1b" << false << false << QByteArray("\x1b")
                            << "" << QStringList{};
    QTest::newRow("ctrl+c") << int(Qt::Key_C) << "\x03" << false << false << QByteArray("\x03")
                            << "" << QStringList{};
}

void tst_Console::ordinaryKeys()
{
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(bool, echo);
    QFETCH(bool, hex);
    QFETCH(QByteArray, sent);
    QFETCH(QString, shown);
    QFETCH(QStringList, traces);

    console->setLocalEchoEnabled(echo);
    if (hex)
        QTest::keyClick(console, Qt::Key_F11);
    QSignalSpy spy(console, &Console::getData);
    testsupport::MessageLog log;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(console, &press);

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toByteArray(), sent);
    QCOMPARE(console->toPlainText(), shown);
    QCOMPARE(log.messages(), traces);
}

void tst_Console::swallowedKeys_data()
{
    QTest::addColumn<int>("key");
    for (int key : {Qt::Key_Backspace, Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down})
        QTest::addRow("%s", qPrintable(QKeySequence(key).toString())) << key;
}

void tst_Console::swallowedKeys()
{
    QFETCH(int, key);
    console->setLocalEchoEnabled(true);
    console->putData("abc");
    console->moveCursor(QTextCursor::End);
    const int position = console->textCursor().position();
    QSignalSpy spy(console, &Console::getData);

    QTest::keyClick(console, Qt::Key(key));
    QCOMPARE(spy.count(), 0);
    QCOMPARE(console->toPlainText(), QString("abc"));
    QCOMPARE(console->textCursor().position(), position);
}

void tst_Console::functionKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("echo");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QStringList>("blocks");
    QTest::addColumn<QString>("colour");

    const Qt::KeyboardModifiers none = Qt::NoModifier;
    QTest::newRow("F3, no echo") << int(Qt::Key_F3) << none << false << false << QByteArray("AT\r")
                                 << QStringList{""} << "";
    QTest::newRow("shift+F3 counts as F3")
        << int(Qt::Key_F3) << Qt::KeyboardModifiers(Qt::ShiftModifier) << false << false
        << QByteArray("AT\r") << QStringList{""} << "";
    QTest::newRow("F3, text echo") << int(Qt::Key_F3) << none << true << false << QByteArray("AT\r")
                                   << QStringList{"AT ", "", ""} << "#00ff00";
    QTest::newRow("F3, hex echo") << int(Qt::Key_F3) << none << true << true << QByteArray("AT\r")
                                  << QStringList{"0x41 0x54 0x0d"} << "#ff0000";
    QTest::newRow("F7 empty") << int(Qt::Key_F7) << none << false << false << QByteArray("\r")
                              << QStringList{""} << "";
    QTest::newRow("F8 non-ASCII, hex echo")
        << int(Qt::Key_F8) << none << true << true << QByteArray("\xc3\xa9\r")
        << QStringList{"0xc3 0xa9 0x0d"} << "#ff0000";
    QTest::newRow("F8 non-ASCII, text echo")
        << int(Qt::Key_F8) << none << true << false << QByteArray("\xc3\xa9\r")
        << QStringList{QString::fromUtf8("\xc3\xa9 "), "", ""} << "#00ff00";
}

void tst_Console::functionKeys()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, echo);
    QFETCH(bool, hex);
    QFETCH(QByteArray, sent);
    QFETCH(QStringList, blocks);
    QFETCH(QString, colour);

    console->setLocalEchoEnabled(echo);
    if (hex)
        QTest::keyClick(console, Qt::Key_F11);
    QSignalSpy spy(console, &Console::getData);
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(console, &press);

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toByteArray(), sent);
    QCOMPARE(blockTexts(*console), blocks);
    if (!colour.isEmpty())
        QCOMPARE(colourOfFirstCharacter(console->document()->firstBlock()), QColor(colour));
}

void tst_Console::functionKeyStringsAreReadAtEachPress()
{
    QSignalSpy spy(console, &Console::getData);
    keyStrings[9] = "new";
    QTest::keyClick(console, Qt::Key_F10);
    keyStrings = QStringList{"only one"};
    QTest::keyClick(console, Qt::Key_F10);
    QTest::keyClick(console, Qt::Key_F1);
    QCOMPARE(spy.count(), 3);
    QCOMPARE(spy.at(0).first().toByteArray(), QByteArray("new\r"));
    QCOMPARE(spy.at(1).first().toByteArray(), QByteArray("\r"));
    QCOMPARE(spy.at(2).first().toByteArray(), QByteArray("only one\r"));
}

void tst_Console::hexModeKeysSwitchDisplayOnly()
{
    QSignalSpy spy(console, &Console::getData);
    console->putData("A");
    QTest::keyClick(console, Qt::Key_F11);
    console->putData("A");
    QTest::keyClick(console, Qt::Key_F12);
    console->putData("A");
    QCOMPARE(blockTexts(*console), (QStringList{"A", "0x41", "A"}));
    QCOMPARE(spy.count(), 0);
}

void tst_Console::mouseOnlyFocuses()
{
    QWidget other;
    other.setFocusPolicy(Qt::StrongFocus);
    other.show();
    other.activateWindow();
    console->putData("some received text");
    console->moveCursor(QTextCursor::End);
    const int position = console->textCursor().position();

    QTest::mouseClick(console->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTRY_VERIFY(console->hasFocus());
    QCOMPARE(console->textCursor().position(), position);
    QTest::mouseDClick(console->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QVERIFY(!console->textCursor().hasSelection());
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5));
    QApplication::sendEvent(console->viewport(), &menu);
    QCOMPARE(QApplication::activePopupWidget(), nullptr);
}

QTEST_MAIN(tst_Console)
#include "tst_console.moc"
