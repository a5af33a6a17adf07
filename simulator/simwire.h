#pragma once
// The device's side of the wire: received bytes into lines, lines into command texts, answer
// payloads into checksummed lines. Pure functions, fed bytes directly in tests.

#include <QByteArray>
#include <QList>

// A line longer than this without a line end is noise; it is thrown away.
constexpr int kMaxFrameBytes = 4096;

class TLineAssembler {
public:
    // Complete lines (LF-terminated, CR and LF removed) found in the bytes so far.
    QList<QByteArray> feed(const QByteArray& bytes);
    void clear() { FBuffer.clear(); }

private:
    QByteArray FBuffer;
    bool FDiscarding = false;  // inside an overlong line: skip up to its end
};

enum class TFrameCheck { Valid, BadChecksum, Malformed };

// A command frame is C + ";" + decimal byte sum of C + ";" (at least five digits). C must start with
// a word of three capital letters, followed by nothing or by ";" and parameters. On Valid,
// command holds C.
TFrameCheck CheckCommandFrame(const QByteArray& line, QByteArray& command);

// payload + five-digit byte sum + CR LF; corrupt gives a sum that is off by one.
QByteArray AnswerLine(const QByteArray& payload, bool corrupt = false);

// A line for the event log: bytes below 32 as "<code>", the rest decoded from Windows-1252.
QString LogText(const QByteArray& line);
