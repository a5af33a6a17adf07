// Raw device memory: GHM reads bytes of RAM, EEPROM, backup RAM or flash; SHM writes bytes of the
// first three and answers with them read back. Flash is read-only.

#include "commandtable.h"
#include "devicemodel.h"
#include "families.h"

#include <QByteArray>

#include <array>
#include <memory>

namespace {

constexpr int kFlash = 4;
constexpr int kMaxBytes = 64;  // per request

// Memories of one device, filled with patterns a technician recognises in a dump.
struct TSimMemory {
    std::array<QByteArray, 4> Bytes;

    TSimMemory()
    {
        const std::array<int, 4> sizes{64 * 1024, 4 * 1024, 8 * 1024, 256 * 1024};
        for (size_t t = 0; t < sizes.size(); ++t) {
            QByteArray& m = Bytes[t];
            m.resize(sizes[t]);
            for (int i = 0; i < m.size(); ++i) {
                switch (t) {
                case 0: m[i] = static_cast<char>(i & 0xFF); break;             // RAM: the address
                case 1: m[i] = static_cast<char>(0xFF - (i & 0xFF)); break;    // EEPROM: counting down
                case 2: m[i] = static_cast<char>(i % 2 ? 0xAA : 0x55); break;  // backup RAM
                default: m[i] = static_cast<char>((i >> 8) & 0xFF); break;     // flash: the page
                }
            }
        }
    }

    // Target 1..4, address and count within that memory.
    QByteArray* range(const QStringList& p, int& address, int& count)
    {
        int target = 0;
        if (!IntParamIn(p, 0, 1, 4, target) || !IntParamIn(p, 2, 1, kMaxBytes, count))
            return nullptr;
        QByteArray& m = Bytes[static_cast<size_t>(target - 1)];
        if (!IntParamIn(p, 1, 0, static_cast<int>(m.size()) - count, address))
            return nullptr;
        return &m;
    }
};

QStringList answer(const QStringList& p, const QByteArray& m, int address, int count)
{
    QStringList fields{p.at(0), QString::number(address), QString::number(count)};
    for (int i = 0; i < count; ++i)
        fields << QString::number(static_cast<unsigned char>(m.at(address + i)));
    return fields;
}

}  // namespace

void RegisterMemoryCommands(TCommandTable& table)
{
    // One memory per table, and the device owns one table.
    auto memory = std::make_shared<TSimMemory>();
    table.add(QStringLiteral("GHM"), [memory](TDeviceModel&, const QStringList& p) {
        int address = 0;
        int count = 0;
        const QByteArray* m = memory->range(p, address, count);
        return m ? answer(p, *m, address, count) : QStringList{};
    });
    table.add(QStringLiteral("SHM"), [memory](TDeviceModel& model, const QStringList& p) {
        int address = 0;
        int count = 0;
        QByteArray* m = memory->range(p, address, count);
        if (!m || p.at(0).toInt() == kFlash)
            return QStringList{};
        QByteArray values;
        for (int i = 0; i < count; ++i) {
            int v = 0;
            if (!IntParamIn(p, 3 + i, 0, 255, v))
                return QStringList{};
            values += static_cast<char>(v);
        }
        m->replace(address, count, values);
        model.noteActivity();
        return answer(p, *m, address, count);
    });
}
