// Round trips per second of the virtual device, and its line rate with --pace-baud (which should
// come out near 11,520 bytes per second). Last line: key=value summary.

#include "rawclient.h"
#include "virtualsarvik.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kRoundTrips = 500;
constexpr int kPacedGarbageBytes = 11520;  // one second at 115200 baud

}  // namespace

int main()
{
    QTemporaryDir root;
    TVirtualSarvikOptions options;
    options.root = root.path();
    options.seed = 5;

    double tripsPerS = 0.0;
    {
        TVirtualSarvik device(options);
        if (!device.start())
            return 1;
        TRawClient client;
        if (!client.open(device.portPath()))
            return 1;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < kRoundTrips; ++i) {
            if (!client.exchange(QStringLiteral("GIS")))
                return 1;
        }
        tripsPerS = kRoundTrips * 1000.0 / std::max<qint64>(1, t.elapsed());
    }

    double pacedBytesPerS = 0.0;
    {
        options.paceBaud = true;
        TVirtualSarvik device(options);
        if (!device.start())
            return 1;
        TRawClient client;
        if (!client.open(device.portPath()))
            return 1;
        QElapsedTimer t;
        t.start();
        // Garbage has no line end; the answer that follows closes the line.
        device.sendGarbage(kPacedGarbageBytes);
        const auto line = client.exchange(QStringLiteral("GIN"), 10000);
        if (!line)
            return 1;
        pacedBytesPerS = (line->size() + 2) * 1000.0 / std::max<qint64>(1, t.elapsed());
    }
    std::printf("round_trips_per_s=%.0f paced_bytes_per_s=%.0f\n", tripsPerS, pacedBytesPerS);
    return 0;
}
