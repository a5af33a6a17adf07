// libFuzzer target for the answer side of the wire format: the checksum check of a received
// line and GetToken, the field accessor every answer parser uses.

#include "answerfields.h"
#include "wireformat.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

void checkAnswer(const QByteArray& line)
{
    TOrder order;
    order.Status = kOrderSent;
    int logged = 0;
    const bool ok = CheckAnswer(line, order, [&logged](const QString&, const QByteArray&) { ++logged; });
    check(ok == (order.Status == kOrderDone), "status follows the verdict");
    if (ok) {
        check(logged == 0, "an accepted answer logs nothing");
        check(order.RXData == line.left(line.size() - 5), "payload is the line without its checksum");
        check(CalcChecksum(order.RXData) == line.right(5).toInt(), "checksum matches");
    } else {
        check(line.size() <= 4 || logged == 1, "a rejected answer logs one line");
    }
    // Whatever the line, the renderings used by the protocol and the message list must work.
    (void)IsAnswerLine(line);
    (void)IsDeviceMessage(line);
    const QString rendered = RenderControlChars(line);
    check(rendered.size() >= line.size(), "rendering loses no byte");
    const QString text = FromWire(line);
    check(text.size() == line.size(), "one character per wire byte");
    (void)ToWire(text);
}

void checkTokens(const QString& text, const QString& delimiters, int probe)
{
    QString token = QStringLiteral("unchanged");
    int count = 0;
    const bool counted = GetToken(text, delimiters, token, count);
    check(counted == !(text.isEmpty() || delimiters.isEmpty()), "counting works on any text");
    if (!counted)
        return;
    check(count >= 1, "at least one field");
    QString joined;
    for (int n = 1; n <= count; ++n) {
        int index = n;
        QString field;
        check(GetToken(text, delimiters, field, index), "every counted field exists");
        check(index == n, "index kept");
        joined += field;
    }
    int past = count + 1;
    token = QStringLiteral("unchanged");
    check(!GetToken(text, delimiters, token, past), "no field past the count");
    check(past == count + 1 && token == QLatin1String("unchanged"), "a missing field changes nothing");
    check(joined.size() <= text.size(), "fields are parts of the text");

    // Field probe, or the rest from field -probe (0 counts, done above).
    int index = probe == 0 ? 1 : probe;
    const int before = index;
    token = QStringLiteral("unchanged");
    if (GetToken(text, delimiters, token, index)) {
        check(index == (before < 0 ? -before : before), "index becomes the field number");
        if (before < 0)
            check(text.endsWith(token), "the rest is the end of the text");
    } else {
        check(index == before && token == QLatin1String("unchanged"), "a failed read changes nothing");
    }

    const TAnswerFields fields(text);
    const int n = probe % (count + 2);
    (void)fields.rest(n);
    (void)fields.intAt(n);
    (void)fields.int64At(n);
    (void)fields.floatAt(n);
    (void)fields.dateAt(n);
    (void)fields.timeAt(n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const int probe = in.ConsumeIntegral<int>();
    const std::string delimiters = in.ConsumeRandomLengthString(4);
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QByteArray line(rest.data(), static_cast<qsizetype>(rest.size()));
    checkAnswer(line);
    checkTokens(FromWire(line), delimiters.empty() ? QStringLiteral(";") : FromWire(QByteArray::fromStdString(delimiters)),
                probe);
    return 0;
}
