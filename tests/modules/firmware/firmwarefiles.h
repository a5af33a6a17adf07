#pragma once
// Firmware images as Intel HEX files for the update tests.

#include "hexparser.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>

// HEX text of image (image offset 0 = device address 0x0800C000), 32 data bytes a record, with
// a linear address record at every 64 KiB page, and the end record.
inline QByteArray HexTextOfImage(const QByteArray& image)
{
    auto line = [](int type, int address, const QByteArray& data) {
        QByteArray bytes;
        bytes.append(char(data.size()));
        bytes.append(char((address >> 8) & 0xFF));
        bytes.append(char(address & 0xFF));
        bytes.append(char(type));
        bytes.append(data);
        unsigned sum = 0;
        for (char c : bytes)
            sum += static_cast<unsigned char>(c);
        bytes.append(char((0x100 - (sum & 0xFF)) & 0xFF));
        return ':' + bytes.toHex().toUpper() + "\r\n";
    };
    QByteArray text;
    qint64 page = -1;
    for (qint64 at = 0; at < image.size(); at += 32) {
        const qint64 address = kFlashBaseAddress + at;
        if ((address >> 16) != page) {
            page = address >> 16;
            QByteArray value;
            value.append(char((page >> 8) & 0xFF)).append(char(page & 0xFF));
            text += line(0x04, 0, value);
        }
        text += line(0x00, int(address & 0xFFFF), image.mid(at, 32));
    }
    text += ":00000001FF\r\n";
    return text;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// A recognisable image of size bytes: no block is all FF.
inline QByteArray PatternImage(qint64 size, std::uint32_t seed = 1)
{
    QByteArray image(size, Qt::Uninitialized);
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (qint64 i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        image[i] = char((x >> 16) & 0xFF);
    }
    return image;
}
