#pragma once

#include <QByteArray>
#include <QPlainTextEdit>
#include <QStringList>

// The terminal pane: renders received bytes as text or hexadecimal and turns key presses into
// bytes to send.
class Console : public QPlainTextEdit
{
    Q_OBJECT

signals:
    void getData(const QByteArray &data);

public:
    // `functionKeys` is the live list of the function-key strings; it must outlive the console.
    Console(QWidget *parent, QStringList *functionKeys);
    ~Console() override;

    // Besides the 100 paragraphs, the document keeps at most this many characters: a fast
    // device makes paragraphs of hundreds of kilobytes, and 100 of them would hold gigabytes.
    static constexpr int maximumCharacters = 1000000;

    void putData(const QByteArray &data);
    void setLocalEchoEnabled(bool set);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void dropOldestBeyondBudget();
    void sendOrdinaryKey(QKeyEvent *event);
    void sendFunctionKey(int number);
    void scrollToBottom();

    bool localEchoEnabled;
    QStringList *functionKeys;
    bool hexMode;
};
