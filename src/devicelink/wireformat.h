#pragma once
// Byte format of the link: command frames, answer lines, the order record and field access.

#include <QByteArray>
#include <QString>

#include <functional>

// One exchange with the device. Copied by value at every hand-over, never shared.
struct TOrder {
    qint32 Status = 0;
    qint32 Sender = 0;
    qint32 TXAdr = 0;
    qint32 TXTag = 0;
    qint32 TXStat = 0;
    QByteArray TXData;  // complete frame, checksum and CR LF included
    qint32 RXAdr = 0;
    double RTCount = 0.0;
    QByteArray RXData;  // answer payload: the line without its five checksum characters
    qint32 TXIndex = 0;
    qint32 TXCount = 0;  // how often the frame was written
};

// Order status codes.
constexpr qint32 kOrderNew = 0;
constexpr qint32 kOrderSent = 1;
constexpr qint32 kOrderDone = 10;
constexpr qint32 kOrderFailed = 14;

// Sum of the unsigned byte values; 0 for an empty string.
int CalcChecksum(const QByteArray& data);

// command + ";" + checksum (at least five digits) + CR LF, in the wire code page.
QByteArray BuildFrame(const QString& command);

// An order for SendOrder, filled as the link expects it.
TOrder MakeOrder(int clientId, const QString& command, int tag);

// True for a received line that answers an order: at least 5 characters, ";" as 4th, not "TIM".
bool IsAnswerLine(const QByteArray& line);

// Line that is neither an answer nor too short to mean anything: shown as a device message.
bool IsDeviceMessage(const QByteArray& line);

// Receives protocol lines (tag, text) from the checks below.
using TLinkLogFn = std::function<void(const QString& tag, const QByteArray& text)>;

// Checks an answer line against its trailing checksum. On success order.Status = 10 and
// order.RXData holds the payload; on a mismatch RXData keeps the rejected payload, the status
// becomes 0 and an "ERROR" line is logged. Returns whether the answer was accepted.
bool CheckAnswer(const QByteArray& line, TOrder& order, const TLinkLogFn& log);

// Field accessor of every answer parser. index > 0: field index (1-based); index == 0: counts
// the fields into index; index < 0: the rest of the text from field |index| on (index becomes
// |index|). False when the field does not exist; token and index then stay as they were.
bool GetToken(const QString& text, const QString& delimiters, QString& token, int& index);

// Device text with every byte below 32 or above 126 written as "<code>".
QString RenderControlChars(const QByteArray& line);

// The wire's 8-bit code page (Windows-1252) in both directions. Characters it lacks become "?".
QByteArray ToWire(const QString& text);
QString FromWire(const QByteArray& bytes);
