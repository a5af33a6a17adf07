#include "hexfile.h"

#include <QFile>
#include <QLoggingCategory>

#include <vector>

Q_LOGGING_CATEGORY(lcFirmware, "sarvik.modules.firmware")

namespace {

constexpr qint64 kReadChunkBytes = 64 * 1024;

void emitText(const THexLogFn& log, const char* text)
{
    if (log)
        log(QString::fromUtf8(text));
}

}  // namespace

bool ReadHexFile(const QString& fileName, THexImage& image, const THexLogFn& log)
{
    // Resets the image before anything can fail, so a refused file never leaves an old image
    // looking current.
    THexParser parser(image);

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcFirmware) << "cannot open" << fileName << ":" << file.errorString();
        emitText(log, kHexUnreadableText);
        return false;
    }

    std::vector<char> chunk(static_cast<std::size_t>(kReadChunkBytes));
    for (;;) {
        const qint64 got = file.read(chunk.data(), kReadChunkBytes);
        if (got < 0) {
            qCWarning(lcFirmware) << "cannot read" << fileName << ":" << file.errorString();
            emitText(log, kHexUnreadableText);
            return false;
        }
        if (got == 0) {
            parser.Finish();
            break;
        }
        if (!parser.Feed(chunk.data(), static_cast<std::size_t>(got)))
            break;
    }

    switch (parser.Fault()) {
    case THexFault::None:
        return true;
    case THexFault::InvalidChars:
        emitText(log, kHexInvalidCharsText);
        break;
    case THexFault::UnsupportedType:
        emitText(log, kHexUnsupportedTypeText);
        break;
    case THexFault::OutsideImage:
        emitText(log, kHexOutsideImageText);
        break;
    default:
        break;
    }
    qCInfo(lcFirmware) << "firmware file refused at line" << parser.FaultLine() << fileName;
    return false;
}
