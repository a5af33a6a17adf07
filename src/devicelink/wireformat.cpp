#include "wireformat.h"

#include <array>
#include <limits>

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five unassigned bytes map through.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char encodeChar(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (size_t i = 0; i < kCp1252High.size(); ++i) {
        if (kCp1252High[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

}  // namespace

int CalcChecksum(const QByteArray& data)
{
    int sum = 0;
    for (char c : data)
        sum += static_cast<unsigned char>(c);
    return sum;
}

QByteArray BuildFrame(const QString& command)
{
    QByteArray frame = ToWire(command);
    frame += ';';
    const int sum = CalcChecksum(frame);
    frame += QByteArray::number(sum).rightJustified(5, '0');
    frame += "\r\n";
    return frame;
}

TOrder MakeOrder(int clientId, const QString& command, int tag)
{
    TOrder order;
    order.Status = kOrderNew;
    order.Sender = clientId;
    order.TXTag = tag;
    order.TXData = BuildFrame(command);
    return order;
}

bool IsAnswerLine(const QByteArray& line)
{
    return line.size() >= 5 && line.at(3) == ';' && !line.startsWith("TIM");
}

bool IsDeviceMessage(const QByteArray& line)
{
    return line.size() >= 5 && !IsAnswerLine(line);
}

bool CheckAnswer(const QByteArray& line, TOrder& order, const TLinkLogFn& log)
{
    if (line.size() <= 4)
        return false;
    const QByteArray sumText = line.right(5);
    bool numeric = !sumText.isEmpty();
    for (char c : sumText)
        numeric = numeric && c >= '0' && c <= '9';
    if (!numeric) {
        if (log)
            log(QStringLiteral("ERROR"), "Checksum is not numeric: " + sumText);
        order.Status = kOrderNew;
        return false;
    }
    const int received = sumText.toInt();
    order.RXData = line.left(line.size() - 5);
    const int computed = CalcChecksum(order.RXData);
    if (computed == received) {
        order.Status = kOrderDone;
        return true;
    }
    if (log) {
        log(QStringLiteral("ERROR"),
            QStringLiteral("Checksum Mismatch! Expected: %1 - Got: %2").arg(received).arg(computed).toLatin1());
    }
    order.Status = kOrderNew;
    return false;
}

bool GetToken(const QString& text, const QString& delimiters, QString& token, int& index)
{
    if (text.isEmpty() || delimiters.isEmpty())
        return false;
    const bool counting = index == 0;
    const bool rest = index < 0;
    // No text has that many fields, and its negation is no int.
    if (index == std::numeric_limits<int>::min())
        return false;
    const int wanted = rest ? -index : index;
    const QString s = text + delimiters.at(0);
    if (counting) {
        for (QChar c : s) {
            if (delimiters.contains(c))
                ++index;
        }
        return true;
    }
    int fieldStart = 0;
    int n = 0;
    for (int i = 0; i < s.size(); ++i) {
        if (!delimiters.contains(s.at(i)))
            continue;
        ++n;
        if (n == wanted) {
            token = rest ? text.mid(fieldStart) : s.mid(fieldStart, i - fieldStart);
            index = wanted;
            return true;
        }
        fieldStart = i + 1;
    }
    return false;
}

QString RenderControlChars(const QByteArray& line)
{
    QString out;
    out.reserve(line.size());
    for (char ch : line) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 32 || b > 126)
            out += QLatin1Char('<') + QString::number(b) + QLatin1Char('>');
        else
            out += QLatin1Char(static_cast<char>(b));
    }
    return out;
}

QByteArray ToWire(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text)
        out += encodeChar(c.unicode());
    return out;
}

QString FromWire(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b < 0xA0)
            out += QChar(kCp1252High[b - 0x80]);
        else
            out += QChar(b);
    }
    return out;
}
