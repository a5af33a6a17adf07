#pragma once
// Builds Intel HEX record lines for the reader's tests, and runs the reader on a text.

#include "hexfile.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <initializer_list>

// ':' + the bytes + their checksum (wrong by sumDelta), in upper-case digits.
inline QByteArray hexLine(QByteArray bytes, int sumDelta = 0)
{
    int sum = 0;
    for (char c : bytes)
        sum += static_cast<unsigned char>(c);
    bytes.append(static_cast<char>((0x100 - (sum & 0xFF) + sumDelta) & 0xFF));
    return ':' + bytes.toHex().toUpper();
}

// One record line without line end.
inline QByteArray hexRecord(int type, int address, const QByteArray& data, int sumDelta = 0)
{
    QByteArray bytes;
    bytes.append(static_cast<char>(data.size()));
    bytes.append(static_cast<char>((address >> 8) & 0xFF));
    bytes.append(static_cast<char>(address & 0xFF));
    bytes.append(static_cast<char>(type));
    bytes.append(data);
    return hexLine(bytes, sumDelta);
}

inline QByteArray hexBytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// Type 04 record that selects the 64 KiB page of the given device address.
inline QByteArray linearBase(quint32 deviceAddress)
{
    const int page = static_cast<int>(deviceAddress >> 16);
    return hexRecord(0x04, 0, hexBytes({page >> 8, page & 0xFF}));
}

inline QByteArray endRecord()
{
    return QByteArrayLiteral(":00000001FF");
}

class HexReaderFixture : public ::testing::Test {
protected:
    // Writes text to a fresh file and reads it; the logged texts land in FLog.
    bool readText(const QByteArray& text)
    {
        const QString name = FDir.filePath(QStringLiteral("fw%1.hex").arg(++FFileCount));
        QFile file(name);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        return readFile(name);
    }

    bool readFile(const QString& name)
    {
        FLog.clear();
        return ReadHexFile(name, FImage, [this](const QString& t) { FLog.append(t); });
    }

    static QByteArray lines(std::initializer_list<QByteArray> records, const char* eol = "\n")
    {
        QByteArray text;
        for (const QByteArray& r : records)
            text += r + eol;
        return text;
    }

    qint64 countFF(qint64 from, qint64 to) const
    {
        qint64 n = 0;
        for (qint64 i = from; i < to; ++i)
            n += FImage.FImage[static_cast<size_t>(i)] == 0xFF;
        return n;
    }

    QTemporaryDir FDir;
    THexImage FImage;
    QStringList FLog;
    int FFileCount = 0;
};
