#pragma once
// Reads the virtual device's traffic log: "<ms since start> RX <frame>" and "<ms> TX <line>".

#include <QFile>
#include <QString>

#include <vector>

struct TSimLogEvent {
    qint64 ms = 0;
    bool received = false;  // RX: a frame from the program; TX: the device's answer or message
    QString text;           // frame or line without CR LF

    QString word() const { return text.left(3); }
};

inline std::vector<TSimLogEvent> ReadSimLog(const QString& path)
{
    std::vector<TSimLogEvent> events;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return events;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        const int firstBlank = line.indexOf(QLatin1Char(' '));
        const int secondBlank = line.indexOf(QLatin1Char(' '), firstBlank + 1);
        if (firstBlank <= 0 || secondBlank < 0)
            continue;  // a line still being written
        TSimLogEvent e;
        bool ok = false;
        e.ms = line.left(firstBlank).toLongLong(&ok);
        const QString kind = line.mid(firstBlank + 1, secondBlank - firstBlank - 1);
        if (!ok || (kind != u"RX" && kind != u"TX"))
            continue;
        e.received = kind == u"RX";
        e.text = line.mid(secondBlank + 1);
        events.push_back(e);
    }
    return events;
}

// True once the program has sent a frame with this command word.
inline bool SimLogHasFrame(const QString& path, const QString& word)
{
    for (const TSimLogEvent& e : ReadSimLog(path)) {
        if (e.received && e.word() == word)
            return true;
    }
    return false;
}
