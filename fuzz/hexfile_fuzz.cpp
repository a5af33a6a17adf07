// libFuzzer target for the firmware file reader. Each input is read three ways: whole by the
// record parser, by the parser in two pieces split at an input-chosen point, and from a file
// by ReadHexFile. All three must agree, and the image must stay consistent with its size.

#include "hexfile.h"

#include <QFile>
#include <QLoggingCategory>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

QString scratchFile()
{
    const char* dir = std::getenv("TMPDIR");
    return QString::fromUtf8(dir ? dir : "/tmp") + QStringLiteral("/hexfile_fuzz_%1.hex").arg(getpid());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The reader's diagnostics would flood the fuzzer's output.
    QLoggingCategory::setFilterRules(QStringLiteral("sarvik.*=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static THexImage whole;
    static THexImage pieces;
    static THexImage fromFile;
    static const QString fileName = scratchFile();
    const auto* text = reinterpret_cast<const char*>(data);

    THexParser reference(whole);
    reference.Feed(text, size);
    reference.Finish();
    check(whole.FImage.size() == static_cast<std::size_t>(kImageBytes), "image keeps its size");
    check(whole.FImageSize >= 0 && whole.FImageSize <= kImageBytes, "image size within image");
    check(whole.FLastBlock == (whole.FImageSize + kBlockBytes - 1) / kBlockBytes - 1,
          "last block follows image size");
    check(reference.Good() == (reference.Fault() == THexFault::None), "verdict consistent");

    const std::size_t split = size == 0 ? 0 : (size_t{data[0]} * 131 + size / 3) % (size + 1);
    THexParser parser(pieces);
    if (parser.Feed(text, split))
        parser.Feed(text + split, size - split);
    parser.Finish();
    check(parser.Fault() == reference.Fault(), "split gives the same verdict");
    check(pieces.FImageSize == whole.FImageSize, "split gives the same size");
    check(std::memcmp(pieces.FImage.data(), whole.FImage.data(), pieces.FImage.size()) == 0,
          "split gives the same image");

    {
        QFile file(fileName);
        check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "scratch file opens");
        check(file.write(text, static_cast<qint64>(size)) == static_cast<qint64>(size), "written");
    }
    int messages = 0;
    const bool good = ReadHexFile(fileName, fromFile, [&messages](const QString&) { ++messages; });
    check(good == reference.Good(), "file read gives the same verdict");
    check(fromFile.FImageSize == whole.FImageSize, "file read gives the same size");
    check(std::memcmp(fromFile.FImage.data(), whole.FImage.data(), whole.FImage.size()) == 0,
          "file read gives the same image");
    check(messages <= 1 && (!good || messages == 0), "at most one message, none when good");
    return 0;
}
