// Time to read a firmware file that fills the whole 2 MiB application area.
// Last line: hex_bench read_ms=<median over the runs>

#include "hexfile.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kRuns = 21;
constexpr int kRecordBytes = 16;  // what firmware tool chains usually write

QByteArray record(int type, int address, const std::uint8_t* data, int count)
{
    QByteArray bytes;
    bytes.append(static_cast<char>(count));
    bytes.append(static_cast<char>((address >> 8) & 0xFF));
    bytes.append(static_cast<char>(address & 0xFF));
    bytes.append(static_cast<char>(type));
    bytes.append(reinterpret_cast<const char*>(data), count);
    int sum = 0;
    for (char c : bytes)
        sum += static_cast<unsigned char>(c);
    bytes.append(static_cast<char>((0x100 - (sum & 0xFF)) & 0xFF));
    return ':' + bytes.toHex().toUpper() + "\r\n";
}

QByteArray fullImageHex()
{
    std::mt19937 rng(1);
    std::vector<std::uint8_t> image(static_cast<std::size_t>(kImageBytes));
    for (auto& b : image)
        b = static_cast<std::uint8_t>(rng());
    QByteArray text;
    text.reserve(6 * 1024 * 1024);
    qint64 page = -1;
    for (qint64 offset = 0; offset < kImageBytes; offset += kRecordBytes) {
        const qint64 device = kFlashBaseAddress + offset;
        if (device >> 16 != page) {
            page = device >> 16;
            const std::uint8_t value[2] = {static_cast<std::uint8_t>(page >> 8),
                                           static_cast<std::uint8_t>(page)};
            text += record(0x04, 0, value, 2);
        }
        text += record(0x00, static_cast<int>(device & 0xFFFF), image.data() + offset, kRecordBytes);
    }
    text += ":00000001FF\r\n";
    return text;
}

}  // namespace

int main()
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }
    const QString name = dir.filePath(QStringLiteral("full.hex"));
    const QByteArray text = fullImageHex();
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
        return 1;
    }
    file.close();

    THexImage image;
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        const bool good = ReadHexFile(name, image, [](const QString& t) {
            std::fprintf(stderr, "%s\n", qPrintable(t));
        });
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (!good || image.FImageSize != kImageBytes) {
            std::fprintf(stderr, "read failed or incomplete (size %lld)\n",
                         static_cast<long long>(image.FImageSize));
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("file %lld bytes, %d runs, min %.2f ms, max %.2f ms\n",
                static_cast<long long>(text.size()), kRuns, times.front(), times.back());
    std::printf("hex_bench read_ms=%.2f\n", times[times.size() / 2]);
    return 0;
}
