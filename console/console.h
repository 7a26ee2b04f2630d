#pragma once

#include "textconversion.h"

#include <QByteArray>
#include <QPlainTextEdit>
#include <QStringList>
#include <QVector>

#include <functional>

class QTextCharFormat;
class QTextCursor;
class Stamper;

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
    // A line to stamp: where it begins in what is shown, and when it was read.
    struct Line
    {
        int start;
        qint64 at;
    };
    void putStampedText(const QByteArray &bytes, bool lineFeedParagraph);
    void appendStampedText(const QString &text, const QVector<textconversion::LineBreak> &breaks,
                           const QVector<Line> &lines, bool lineFeedParagraph);
    void appendStampedHtml(const QByteArray &bytes, const QVector<Line> &lines,
                           bool lineFeedParagraph);
    void putStampedHex(const QByteArray &bytes);
    void appendParagraph(QTextCursor *cursor, const std::function<void()> &insertContent);
    void keepNewestCharacters(QTextCursor *cursor);
    void sendOrdinaryKey(QKeyEvent *event);
    void sendFunctionKey(int number);
    void scrollToBottom();

    bool localEchoEnabled;
    QStringList *functionKeys;
    bool hexMode;
    Stamper *stamper = nullptr;
};
