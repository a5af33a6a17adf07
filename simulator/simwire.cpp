#include "simwire.h"

#include "wireformat.h"

#include <QString>

QList<QByteArray> TLineAssembler::feed(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    for (char c : bytes) {
        if (c == '\n') {
            if (!FDiscarding) {
                QByteArray line = FBuffer;
                while (line.endsWith('\r'))
                    line.chop(1);
                lines.append(line);
            }
            FBuffer.clear();
            FDiscarding = false;
            continue;
        }
        if (FDiscarding)
            continue;
        FBuffer.append(c);
        if (FBuffer.size() > kMaxFrameBytes) {
            FBuffer.clear();
            FDiscarding = true;
        }
    }
    return lines;
}

TFrameCheck CheckCommandFrame(const QByteArray& line, QByteArray& command)
{
    const qsizetype sep = line.lastIndexOf(';');
    if (sep < 0)
        return TFrameCheck::Malformed;
    const QByteArray digits = line.mid(sep + 1);
    if (digits.size() < 5 || digits.size() > 9)
        return TFrameCheck::Malformed;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return TFrameCheck::Malformed;
    }
    const QByteArray body = line.left(sep);
    if (CalcChecksum(line.left(sep + 1)) != digits.toInt())
        return TFrameCheck::BadChecksum;
    if (body.size() < 3)
        return TFrameCheck::Malformed;
    for (int i = 0; i < 3; ++i) {
        if (body.at(i) < 'A' || body.at(i) > 'Z')
            return TFrameCheck::Malformed;
    }
    if (body.size() > 3 && body.at(3) != ';')
        return TFrameCheck::Malformed;
    command = body;
    return TFrameCheck::Valid;
}

QByteArray AnswerLine(const QByteArray& payload, bool corrupt)
{
    int sum = CalcChecksum(payload);
    if (corrupt)
        sum = sum > 0 ? sum - 1 : 1;
    return payload + QByteArray::number(sum).rightJustified(5, '0') + "\r\n";
}

QString LogText(const QByteArray& line)
{
    QString out;
    const QString text = FromWire(line);
    out.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() < 32)
            out += QLatin1Char('<') + QString::number(c.unicode()) + QLatin1Char('>');
        else
            out += c;
    }
    return out;
}
