#pragma once

#include <QByteArray>
#include <QPlainTextEdit>
#include <QStringList>
#include <QVector>

#include <functional>

class QTextCharFormat;
class QTextCursor;
class AnsiColours;
class Stamper;
namespace ansi {
struct Style;
} // namespace ansi

// The terminal pane: renders received bytes as text or hexadecimal and turns key presses into
// bytes to send.
class Console : public QPlainTextEdit
{
    Q_OBJECT

signals:
    void getData(const QByteArray &data);

public:
    // `keys` is the live list of the function-key strings; it must outlive the console.
    Console(QWidget *parent, QStringList *keys);
    ~Console() override;

    // Besides the 100 paragraphs, the document keeps only the newest this many characters: a
    // fast device makes paragraphs of megabytes, and laying out what no screen shows would
    // hold up the display and, on a real UART, the reading of the port.
    static constexpr int maximumCharacters = 16384;

    void putData(const QByteArray &bytes);
    void setLocalEchoEnabled(bool set);
    // With local echo on, shows bytes sent other than by a key press as a function key's string
    // shows: in a paragraph of its own, green as text or red in hexadecimal.
    void echoSent(const QByteArray &bytes);

    // Stamps every received line with its time, in the form `stamper`'s mode says; the stamper
    // learns of the reads from the window, and the console takes their times as it shows them.
    // Null, or a stamper switched off: no stamps, and the pane as it always was.
    void setStamper(Stamper *lineStamper) { stamper = lineStamper; }
    // While `ansiColours` is on, shows the colours that escape sequences in received text ask
    // for, and hides every other control sequence of that kind. Null, or off: an escape shows as
    // a dot, as any other control byte.
    void setColours(AnsiColours *ansiColours) { colours = ansiColours; }

    // Off: a click only focuses the pane, and every key goes to the device. On: the mouse selects
    // as in any text view, Ctrl+Shift+C copies the selection instead of sending, typed echo goes
    // to the end of the pane, and the view stays where the user scrolled to.
    void setMouseSelection(bool on);

    enum class Look { WhiteOnBlack, BlackOnWhite };
    // The colours of the pane's background and text.
    void setLook(Look look);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    static QTextCharFormat receivedFormat();
    void appendText(const QString &text, bool lineFeedParagraph);
    void appendHtmlOf(const QByteArray &bytes, bool lineFeedParagraph);
    static void insertReceivedHtml(QTextCursor *cursor, const QString &html);
    void appendReceived(const std::function<void(QTextCursor &)> &insertContent,
                        bool lineFeedParagraph);
    bool stamping() const;
    bool colouring() const;
    bool decorating() const;
    struct ChunkEvents;
    void putDecoratedText(const QByteArray &bytes);
    QString placeEvents(const QByteArray &bytes, ChunkEvents *events, int *cutLine) const;
    static QTextCharFormat styledFormat(const ansi::Style &style);
    void appendDecoratedText(const QString &text, const ChunkEvents &events,
                             bool lineFeedParagraph);
    void appendDecoratedHtml(const QByteArray &bytes, const ChunkEvents &events,
                             bool lineFeedParagraph);
    void colourAtMarkers(QTextCursor *cursor, int begin, const ChunkEvents &events);
    void stampAtMarkers(QTextCursor *cursor, int begin, const ChunkEvents &events);
    void putStampedHex(const QByteArray &bytes);
    void appendParagraph(QTextCursor *cursor, const std::function<void()> &insertContent);
    void keepNewestCharacters(QTextCursor *cursor);
    void sendOrdinaryKey(QKeyEvent *event);
    void sendFunctionKey(int number);
    void scrollToBottom();
    bool isScrolledToBottom() const;

    bool localEchoEnabled;
    bool mouseSelection = false;
    QStringList *functionKeys;
    bool hexMode;
    // What the extras add to received text.
    Stamper *stamper = nullptr;
    AnsiColours *colours = nullptr;
};
