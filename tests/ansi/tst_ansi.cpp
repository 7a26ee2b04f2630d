#include "ansi.h"
#include "testmain.h"

#include <QTest>

namespace {

QByteArray name(const ansi::Style &style)
{
    return "{" + QByteArray::number(style.foreground) + "," + QByteArray::number(style.background) +
           (style.bold ? ",bold}" : "}");
}

// What the parser made of a stream fed in chunks, in the stream's text offsets.
struct Stream
{
    QByteArray text;
    QVector<ansi::StyleChange> changes;
    QVector<ansi::Cut> cuts;
    QString fault; // a change that changes nothing
};

Stream fed(ansi::Parser *parser, const QList<QByteArray> &chunks)
{
    Stream stream;
    for (const QByteArray &chunk : chunks) {
        ansi::Style before = parser->style();
        const ansi::Parsed parsed = parser->feed(chunk);
        for (const ansi::StyleChange &change : parsed.changes) {
            if (change.style == before)
                stream.fault = "a change to the style before it at " + QString::number(change.at);
            before = change.style;
            stream.changes.append({change.at + stream.text.size(), change.style});
        }
        if (before != parser->style())
            stream.fault = "the changes do not end in the parser's style";
        for (const ansi::Cut &cut : parsed.cuts)
            stream.cuts.append({cut.at + stream.text.size(), cut.length});
        stream.text += parsed.text;
    }
    return stream;
}

// The text with the style's name before every character whose style differs from the one
// before it, so that the same look compares equal however the changes fell into chunks.
QByteArray rendered(const Stream &stream)
{
    QByteArray out;
    ansi::Style shown;
    ansi::Style style;
    int change = 0;
    for (int i = 0; i < stream.text.size(); ++i) {
        for (; change < stream.changes.size() && stream.changes.at(change).at <= i; ++change)
            style = stream.changes.at(change).style;
        if (style != shown)
            out += name(style);
        shown = style;
        out += stream.text.at(i);
    }
    return out;
}

// The input, rebuilt from the text and the cuts, each of which must be whole sequences; only a
// sequence held back at the end may be missing.
QString rebuildFault(const Stream &stream, const QByteArray &input)
{
    int raw = 0;
    int text = 0;
    QVector<ansi::Cut> cuts = stream.cuts;
    cuts.append({stream.text.size(), 0});
    for (const ansi::Cut &cut : cuts) {
        const QByteArray piece = stream.text.mid(text, cut.at - text);
        if (input.mid(raw, piece.size()) != piece)
            return QString("text %1 is not the input at %2").arg(text).arg(raw);
        raw += piece.size();
        const QByteArray taken = input.mid(raw, cut.length);
        if (cut.length && (taken.front() != '\x1b' || taken.back() < 0x40 || taken.back() > 0x7e))
            return QString("the cut at %1 is not a sequence: %2")
                .arg(cut.at)
                .arg(QString::fromLatin1(taken.toPercentEncoding()));
        raw += cut.length;
        text = cut.at;
    }
    const QByteArray rest = input.mid(raw);
    if (!rest.isEmpty() && (rest.front() != '\x1b' || rest.size() > ansi::Parser::maximumSequence))
        return "bytes lost at the end: " + rest.toPercentEncoding();
    return QString();
}

} // namespace

class tst_Ansi : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
};

void tst_Ansi::parse_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("shown"); // the text, with the styles' names where they change
    QTest::addColumn<QByteArray>("after"); // the style after the input

    QTest::newRow("plain text") << QByteArray("abc") << QByteArray("abc") << QByteArray("{-1,-1}");
    for (int code = 0; code < 8; ++code) {
        const QByteArray normal = QByteArray::number(code);
        const QByteArray bright = QByteArray::number(code + 8);
        QTest::addRow("%d", 30 + code) << "\x1b[" + QByteArray::number(30 + code) + "mx"
                                       << "{" + normal + ",-1}x"
                                       << "{" + normal + ",-1}";
        QTest::addRow("%d", 90 + code) << "\x1b[" + QByteArray::number(90 + code) + "mx"
                                       << "{" + bright + ",-1}x"
                                       << "{" + bright + ",-1}";
        QTest::addRow("%d", 40 + code) << "\x1b[" + QByteArray::number(40 + code) + "mx"
                                       << "{-1," + normal + "}x"
                                       << "{-1," + normal + "}";
        QTest::addRow("%d", 100 + code) << "\x1b[" + QByteArray::number(100 + code) + "mx"
                                        << "{-1," + bright + "}x"
                                        << "{-1," + bright + "}";
    }
    QTest::newRow("39") << QByteArray("\x1b[31;42ma\x1b[39mb") << QByteArray("{1,2}a{-1,2}b")
                        << QByteArray("{-1,2}");
    QTest::newRow("49") << QByteArray("\x1b[31;42ma\x1b[49mb") << QByteArray("{1,2}a{1,-1}b")
                        << QByteArray("{1,-1}");
    QTest::newRow("1") << QByteArray("a\x1b[1mb") << QByteArray("a{-1,-1,bold}b")
                       << QByteArray("{-1,-1,bold}");
    QTest::newRow("22") << QByteArray("\x1b[1;31ma\x1b[22mb") << QByteArray("{1,-1,bold}a{1,-1}b")
                        << QByteArray("{1,-1}");
    QTest::newRow("0") << QByteArray("\x1b[1;31;42ma\x1b[0mb") << QByteArray("{1,2,bold}a{-1,-1}b")
                       << QByteArray("{-1,-1}");
    QTest::newRow("no parameter") << QByteArray("\x1b[1;31ma\x1b[mb")
                                  << QByteArray("{1,-1,bold}a{-1,-1}b") << QByteArray("{-1,-1}");
    QTest::newRow("an empty parameter is 0")
        << QByteArray("\x1b[1;31ma\x1b[;32mb") << QByteArray("{1,-1,bold}a{2,-1}b")
        << QByteArray("{2,-1}");
    QTest::newRow("several in one") << QByteArray("\x1b[44m\x1b[0;1;32mx")
                                    << QByteArray("{2,-1,bold}x") << QByteArray("{2,-1,bold}");
    QTest::newRow("unknown codes ignored")
        << QByteArray("\x1b[4;5;7;31;99;108mx") << QByteArray("{1,-1}x") << QByteArray("{1,-1}");
    QTest::newRow("38;5 below 16")
        << QByteArray("\x1b[38;5;9mx") << QByteArray("{9,-1}x") << QByteArray("{9,-1}");
    QTest::newRow("38;5 above 15 takes its number along")
        << QByteArray("\x1b[38;5;31mx") << QByteArray("x") << QByteArray("{-1,-1}");
    QTest::newRow("38;2 takes its numbers along")
        << QByteArray("\x1b[38;2;1;32;42mx") << QByteArray("x") << QByteArray("{-1,-1}");
    QTest::newRow("48;5, then a code")
        << QByteArray("\x1b[48;5;1;1mx") << QByteArray("{-1,1,bold}x") << QByteArray("{-1,1,bold}");
    QTest::newRow("48;2, then a code")
        << QByteArray("\x1b[48;2;0;0;0;33mx") << QByteArray("{3,-1}x") << QByteArray("{3,-1}");
    QTest::newRow("colons") << QByteArray("\x1b[38:5:4;1m\x1b[48:2::1:1:1mx")
                            << QByteArray("{4,-1,bold}x") << QByteArray("{4,-1,bold}");
    QTest::newRow("other sequences hidden") << QByteArray("a\x1b[2Jb\x1b[1;1Hc\x1b[?25hd\x1b[ qe")
                                            << QByteArray("abcde") << QByteArray("{-1,-1}");
    QTest::newRow("a private marker is not SGR")
        << QByteArray("\x1b[>4;1mx") << QByteArray("x") << QByteArray("{-1,-1}");
    QTest::newRow("stray ESCs") << QByteArray("a\x1b"
                                              "b\x1b\x1b[31mx")
                                << QByteArray("a\x1b"
                                              "b\x1b{1,-1}x")
                                << QByteArray("{1,-1}");
    QTest::newRow("broken by a line feed")
        << QByteArray("\x1b[31\nx") << QByteArray("\x1b[31\nx") << QByteArray("{-1,-1}");
    QTest::newRow("broken by the next sequence")
        << QByteArray("\x1b[31\x1b[32mx") << QByteArray("\x1b[31{2,-1}x") << QByteArray("{2,-1}");
    const QByteArray longest = "\x1b[" + QByteArray(60, '0') + "1m";
    QTest::newRow("as long as allowed")
        << longest + "x" << QByteArray("{-1,-1,bold}x") << QByteArray("{-1,-1,bold}");
    const QByteArray tooLong = "\x1b[" + QByteArray(61, '0') + "1mx";
    QTest::newRow("a byte too long") << tooLong << tooLong << QByteArray("{-1,-1}");
    QTest::newRow("inside markup") << QByteArray("<b>\x1b[31mred</b>")
                                   << QByteArray("<b>{1,-1}red</b>") << QByteArray("{1,-1}");
    QTest::newRow("a style without text")
        << QByteArray("\x1b[35m") << QByteArray() << QByteArray("{5,-1}");
    QTest::newRow("cut off at the end")
        << QByteArray("ab\x1b[3") << QByteArray("ab") << QByteArray("{-1,-1}");
}

// Fed whole, in two chunks cut at every position, and a byte at a time; then reset.
void tst_Ansi::parse()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, shown);
    QFETCH(QByteArray, after);
    QVector<QList<QByteArray>> feedings{{input}};
    for (int cut = 0; cut <= input.size(); ++cut)
        feedings.append({input.left(cut), input.mid(cut)});
    QList<QByteArray> bytes;
    for (const char byte : input)
        bytes.append(QByteArray(1, byte));
    feedings.append(bytes);

    for (const QList<QByteArray> &chunks : qAsConst(feedings)) {
        const QByteArray feeding = chunks.size() > 2
                                       ? "a byte at a time"
                                       : "cut at " + QByteArray::number(chunks.front().size());
        ansi::Parser parser;
        const Stream stream = fed(&parser, chunks);
        QVERIFY2(rendered(stream) == shown, feeding + ": " + rendered(stream).toPercentEncoding());
        QVERIFY2(name(parser.style()) == after, feeding + ": " + name(parser.style()));
        QVERIFY2(stream.fault.isEmpty(), feeding + ": " + stream.fault.toUtf8());
        const QString fault = rebuildFault(stream, input);
        QVERIFY2(fault.isEmpty(), feeding + ": " + fault.toUtf8());

        // A new connection starts in the pane's own style, with nothing held back.
        parser.reset();
        const ansi::Parsed fresh = parser.feed("m");
        QCOMPARE(fresh.text, QByteArray("m"));
        QVERIFY(fresh.changes.isEmpty());
        QCOMPARE(name(parser.style()), QByteArray("{-1,-1}"));
    }
}

KORVIX_TEST_MAIN(tst_Ansi)
#include "tst_ansi.moc"
