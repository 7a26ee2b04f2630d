#include "console.h"
#include "messagelog.h"
#include "stamper.h"
#include "testmain.h"
#include "textconversion.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

namespace {

QStringList blockTexts(const Console &console)
{
    QStringList texts;
    for (QTextBlock block = console.document()->begin(); block.isValid(); block = block.next())
        texts << block.text();
    return texts;
}

QTextCharFormat firstFormat(const QTextBlock &block)
{
    const QVector<QTextLayout::FormatRange> formats = block.textFormats();
    return formats.isEmpty() ? QTextCharFormat() : formats.first().format;
}

void press(Console *console, int key, const QString &text = QString(),
           Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(console, &event);
}

} // namespace

class tst_Console : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void textConversion_data();
    void textConversion();
    void bytesShowAsTextOrHex();
    void emptyChunkOnlyScrolls();
    void chunkLargerThanTheBudgetShowsItsNewestBytes();
    void markupBeyondTheLimits_data();
    void markupBeyondTheLimits();
    void keys_data();
    void keys();
    void swallowedKeys_data();
    void swallowedKeys();
    void mouseOnlyFocuses();
    void stamps_data();
    void stamps();
    void stampedFloodStaysWithinTheBudget_data();
    void stampedFloodStaysWithinTheBudget();

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
}

void tst_Console::textConversion_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("keep");
    QTest::addColumn<QString>("traced"); // and what the rich-text parser gets, before the tags
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("shown"); // in the pane, without markup
    QTest::addColumn<QByteArray>("hex");

    const QString separator(QChar::LineSeparator);
    QTest::newRow("the edges of the printable range")
        << QByteArray("\x00\x09\x0a\x0d\x1f A~\x7f\x80\xff", 11) << 100 << "..\r.. A~\x7f.."
        << "..<br>.. A~\x7f.."
        << ".." + separator + ".. A~\x7f.."
        << QByteArray(" 0x00 0x09 0x0a 0x0d 0x1f 0x20 0x41 0x7e 0x7f 0x80 0xff");
    QTest::newRow("white space collapses, none at a line's start")
        << QByteArray("  a \t  b  \n  c\n") << 100 << "  a .  b  \r  c\r"
        << "  a .  b  <br>  c\r"
        << "a . b " + separator + "c "
        << QByteArray(" 0x20 0x20 0x61 0x20 0x09 0x20 0x20 0x62 0x20 "
                      "0x20 0x0a 0x20 0x20 0x63 0x0a");
    QTest::newRow("a flood of spaces between words")
        << "x" + QByteArray(21, ' ') + "y" << 100 << "x" + QString(21, ' ') + "y"
        << "x" + QString(21, ' ') + "y"
        << "x y" << QByteArray(" 0x78") + QByteArray(" 0x20").repeated(21) + " 0x79";
    QTest::newRow("only the newest kept")
        << QByteArray("abc\ndef") << 4 << "abc\rdef"
        << "abc<br>def" << separator + "def" << QByteArray(" 0x61 0x62 0x63 0x0a 0x64 0x65 0x66");
}

void tst_Console::textConversion()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, keep);
    QFETCH(QString, traced);
    QFETCH(QString, html);
    QFETCH(QString, shown);
    QFETCH(QByteArray, hex);
    QCOMPARE(textconversion::printableText(bytes), traced);
    QCOMPARE(textconversion::withLineBreakTags(traced), html);
    QCOMPARE(textconversion::shownText(bytes, keep), shown);
    QCOMPARE(textconversion::hexNotation(bytes), hex);
}

// Each kind of byte, at the edges of the printable range: shown as text, then in hex.
void tst_Console::bytesShowAsTextOrHex()
{
    QSignalSpy sent(console, &Console::getData);
    const QByteArray bytes("\x00\x09\x0a\x0d\x1f A~\x7f\x80\xff", 11);
    testsupport::MessageLog log;
    console->putData(bytes);
    QTest::keyClick(console, Qt::Key_F11);
    console->putData(bytes);
    QTest::keyClick(console, Qt::Key_F12);
    console->putData("A");
    // The debug line holds the converted text chunk exactly; hex chunks are not traced.
    QCOMPARE(log.messages(), (QStringList{"..\r.. A~\x7f..", "A"}));
    // Every item starts with a space; the rich-text parser drops the paragraph's leading one.
    QCOMPARE(blockTexts(*console).mid(1),
             (QStringList{"0x00 0x09 0x0a 0x0d 0x1f 0x20 0x41 0x7e 0x7f 0x80 0xff", "A"}));
    QCOMPARE(sent.count(), 0);
}

void tst_Console::emptyChunkOnlyScrolls()
{
    for (int i = 0; i < 60; ++i)
        console->putData("line\n");
    QScrollBar *bar = console->verticalScrollBar();
    bar->setValue(0);
    const int blocks = console->document()->blockCount();
    testsupport::MessageLog log;
    console->putData(QByteArray());
    QCOMPARE(console->document()->blockCount(), blocks);
    QCOMPARE(log.messages(), QStringList{});
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
}

void tst_Console::chunkLargerThanTheBudgetShowsItsNewestBytes()
{
    QByteArray chunk;
    for (int i = 0; chunk.size() <= Console::maximumCharacters; ++i)
        chunk += QByteArray::number(i) + '.';
    console->putData(chunk);
    QCOMPARE(console->toPlainText(), QString(chunk.right(Console::maximumCharacters - 1)));
    QTest::keyClick(console, Qt::Key_F11);
    console->putData(chunk);
    QCOMPARE(console->document()->blockCount(), 1);
    QCOMPARE(console->document()->characterCount(), Console::maximumCharacters);
    QVERIFY(console->toPlainText().endsWith(
        QString::asprintf(" 0x%02x 0x2e", uchar(chunk.at(chunk.size() - 2)))));
}

void tst_Console::markupBeyondTheLimits_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("bold"); // the last character

    const QByteArray z(16380, 'z');
    QTest::newRow("64 open elements") << QByteArray("<x>").repeated(64) + "y"
                                      << "y" << false;
    QTest::newRow("the 65th shows as text") << QByteArray("<x>").repeated(65) + "y"
                                            << "<x>y" << false;
    QTest::newRow("the 128th newest tag applies") << "<b>" + QByteArray("<x/>").repeated(127) + "z"
                                                  << "z" << true;
    QTest::newRow("the 129th does not") << "<b>" + QByteArray("<x/>").repeated(128) + "z"
                                        << "z" << false;
    QTest::newRow("a tag is not cut in two")
        << "<b title=\"" + QByteArray(100, 'q') + "\">" + z << QString(z) << true;
    QTest::newRow("nor an entity") << "&amp;" + z + "z"
                                   << "&" + QString(z) + "z" << false;

    QFile styleSheet(QDir::home().filePath("bold.css"));
    QVERIFY(styleSheet.open(QIODevice::WriteOnly) && styleSheet.write("x { font-weight: bold }"));
    QTest::newRow("a style sheet is not loaded")
        << "<link type=\"text/css\" href=\"" + styleSheet.fileName().toUtf8() + "\"></link><x>a</x>"
        << "a" << false;
}

void tst_Console::markupBeyondTheLimits()
{
    QFETCH(QByteArray, chunk);
    QFETCH(QString, shown);
    QFETCH(bool, bold);
    console->putData(chunk);
    const QTextBlock last = console->document()->lastBlock();
    QCOMPARE(last.text(), shown);
    QCOMPARE(last.textFormats().constLast().format.fontWeight() > QFont::Normal, bold);
}

void tst_Console::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("echo");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QStringList>("blocks");
    QTest::addColumn<QString>("colour"); // of the echo; empty when nothing is echoed
    QTest::addColumn<QStringList>("traces");

    QTest::newRow("echo off") << int(Qt::Key_A) << "a" << false << false << QByteArray("a")
                              << QStringList{""} << "" << QStringList{};
    QTest::newRow("echo on") << int(Qt::Key_A) << "a" << true << false << QByteArray("a")
                             << QStringList{"a"} << "" << QStringList{};
    QTest::newRow("echo on, hex") << int(Qt::Key_A) << "a" << true << true << QByteArray("a")
                                  << QStringList{" 0x61"} << "" << QStringList{"holla 1"};
    QTest::newRow("echo off, hex") << int(Qt::Key_A) << "a" << false << true << QByteArray("a")
                                   << QStringList{""} << "" << QStringList{};
    QTest::newRow("shift alone, hex echo")
        << int(Qt::Key_Shift) << "" << true << true << QByteArray() << QStringList{""} << ""
        << QStringList{"holla 0"};
    QTest::newRow("F3, text echo") << int(Qt::Key_F3) << "" << true << false << QByteArray("AT\r")
                                   << QStringList{"AT ", "", ""} << "#00ff00" << QStringList{};
    QTest::newRow("F3, hex echo") << int(Qt::Key_F3) << "" << true << true << QByteArray("AT\r")
                                  << QStringList{"0x41 0x54 0x0d"} << "#ff0000"
                                  << QStringList{"#####"};
    QTest::newRow("F7 empty") << int(Qt::Key_F7) << "" << false << false << QByteArray("\r")
                              << QStringList{""} << "" << QStringList{};
    QTest::newRow("F8 non-ASCII, text echo")
        << int(Qt::Key_F8) << "" << true << false << QByteArray("\xc3\xa9\r")
        << QStringList{QString::fromUtf8("\xc3\xa9 "), "", ""} << "#00ff00" << QStringList{};
}

void tst_Console::keys()
{
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(bool, echo);
    QFETCH(bool, hex);
    QFETCH(QByteArray, sent);
    QFETCH(QStringList, blocks);
    QFETCH(QString, colour);
    QFETCH(QStringList, traces);

    console->setLocalEchoEnabled(echo);
    if (hex)
        press(console, Qt::Key_F11);
    QSignalSpy spy(console, &Console::getData);
    testsupport::MessageLog log;
    // With Shift held: modifiers do not matter.
    press(console, key, text, Qt::ShiftModifier);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toByteArray(), sent);
    QCOMPARE(blockTexts(*console), blocks);
    if (!colour.isEmpty())
        QCOMPARE(firstFormat(console->document()->firstBlock()).foreground().color(),
                 QColor(colour));
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
    QSignalSpy sent(console, &Console::getData);
    QTest::keyClick(console, Qt::Key(key));
    QCOMPARE(sent.count(), 0);
    QCOMPARE(console->toPlainText(), QString("abc"));
    QCOMPARE(console->textCursor().position(), 3);
}

void tst_Console::mouseOnlyFocuses()
{
    QWidget other;
    other.setFocusPolicy(Qt::StrongFocus);
    other.show();
    other.setFocus();
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

void tst_Console::stamps_data()
{
    QTest::addColumn<QString>("form");
    // What the line does, one step each: "o MS" the port opens, "r MS BYTES" a read, "s MS" a
    // write to the port, "t" a display tick; times in milliseconds.
    QTest::addColumn<QStringList>("steps");
    // The pane's paragraphs; "|" is a line break within one, "T" a time of day.
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("off") << "off" << QStringList{"o 0", "r 5 ab\nc", "t"} << QStringList{"ab|c"};
    QTest::newRow("since connect: a line's time is its first read's")
        << "since-connect" << QStringList{"o 0", "r 5 ab", "r 12 c\nde", "r 30 f\n", "t"}
        << QStringList{"+0.005 abc|+0.012 def ", "", ""};
    QTest::newRow("a line begun in one tick ends in the next")
        << "since-connect" << QStringList{"o 1000", "r 1005 ab", "t", "r 1150 c\nd", "t"}
        << QStringList{"+0.005 ab", "c|+0.150 d"};
    QTest::newRow("time of day") << "time" << QStringList{"o 0", "r 5 a\nb", "t"}
                                 << QStringList{"T a|T b"};
    QTest::newRow("since the previous line, across ticks")
        << "since-line" << QStringList{"o 0", "r 5 a\n", "t", "r 27 b\nc", "t"}
        << QStringList{"\u03940.005 a ", "", "", "\u03940.022 b|\u03940.000 c"};
    QTest::newRow("since last sent, before and after a write")
        << "since-sent" << QStringList{"o 0", "r 5 x\n", "s 10", "r 25 ok\n", "t"}
        << QStringList{"\u00bb-.--- x|\u00bb0.015 ok ", "", ""};
    QTest::newRow("line feeds and markup in one chunk")
        << "since-connect" << QStringList{"o 0", "r 5 <b>bold\nnext</b>", "r 9 \n  more", "t"}
        << QStringList{"+0.005 bold|+0.005 next|+0.009 more"};
    QTest::newRow("hex: a pause begins a line")
        << "since-connect" << QStringList{"o 0", "x", "r 5 AB", "r 50 C", "r 200 D", "t"}
        << QStringList{"+0.005 0x41 0x42 0x43|+0.200 0x44"};
}

// The stamps' form, their place and their look: each in the stamps' own colour, not in the
// line's, whatever markup the line holds.
void tst_Console::stamps()
{
    QFETCH(QString, form);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, shown);
    Stamper stamper(nullptr);
    Stamper::Mode mode = Stamper::Mode::Off;
    QVERIFY(Stamper::modeNamed(form, &mode));
    stamper.setMode(mode);
    console->setStamper(&stamper);
    const qint64 base = 1000000000000;
    const auto at = [base](const QString &ms) { return base + ms.toLongLong() * 1000000; };
    QByteArray buffer;
    for (const QString &step : steps) {
        const QStringList parts = step.split(' ');
        if (parts.first() == "o") {
            stamper.noteOpened(at(parts.at(1)));
        } else if (parts.first() == "r") {
            const QByteArray bytes = step.section(' ', 2).toUtf8().replace("\\n", "\n");
            stamper.noteRead(bytes, at(parts.at(1)));
            buffer += bytes;
        } else if (parts.first() == "s") {
            stamper.noteSent("x", at(parts.at(1)));
        } else if (parts.first() == "x") {
            QTest::keyClick(console, Qt::Key_F11);
        } else {
            console->putData(buffer);
            buffer.clear();
        }
    }
    static const QRegularExpression timeOfDay("\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d");
    static const QRegularExpression stamp(
        "(\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d|[+\u0394\u00bb](\\d+\\.\\d{3}|-\\.---)) ");
    QStringList texts;
    for (QTextBlock block = console->document()->begin(); block.isValid(); block = block.next()) {
        texts << block.text().replace(QChar::LineSeparator, '|').replace(timeOfDay, "T");
        QRegularExpressionMatchIterator stamps = stamp.globalMatch(block.text());
        while (stamps.hasNext()) {
            const int position = block.position() + stamps.next().capturedStart();
            QTextCursor cursor(console->document());
            cursor.setPosition(position + 1);
            QCOMPARE(cursor.charFormat().foreground().color(), QColor(0x5f, 0xd7, 0xff));
            QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Normal));
        }
    }
    QCOMPARE(texts, shown);
}

void tst_Console::stampedFloodStaysWithinTheBudget_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<QString>("line"); // each line shown, with its stamp
    QTest::newRow("empty lines") << QByteArray(40000, '\n') << "\\+0\\.005 ";
    QTest::newRow("short lines") << QByteArray("xy\n").repeated(20000) << "\\+0\\.005 xy";
    QTest::newRow("short lines with markup")
        << QByteArray("<b>x</b>\n").repeated(20000) << "\\+0\\.005 x";
}

// Only whole lines with their stamps fit the pane: none loses its stamp to the cut at the top.
void tst_Console::stampedFloodStaysWithinTheBudget()
{
    QFETCH(QByteArray, chunk);
    QFETCH(QString, line);
    Stamper stamper(nullptr);
    stamper.setMode(Stamper::Mode::SinceConnect);
    console->setStamper(&stamper);
    stamper.noteOpened(0);
    stamper.noteRead(chunk, 5000000);
    const testsupport::MessageLog quiet; // the chunk's trace
    console->putData(chunk + "z");
    QVERIFY(console->document()->characterCount() <= Console::maximumCharacters);
    const QStringList lines = console->document()->firstBlock().text().split(QChar::LineSeparator);
    QVERIFY(lines.size() > 50);
    const QRegularExpression stamped("^" + line + "$");
    for (const QString &shown : lines.mid(0, lines.size() - 1))
        QVERIFY2(stamped.match(shown).hasMatch(), qPrintable(shown));
}

KORVIX_TEST_MAIN(tst_Console)
#include "tst_console.moc"
