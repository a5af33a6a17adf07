// Restart into the bootloader: SAR answers TAR with a result code; 0 means the device restarts
// (it leaves the bus once the answer is out and comes back as the bootloader).

#include "commandtable.h"
#include "devicemodel.h"
#include "families.h"

void RegisterBootloaderCommands(TCommandTable& table)
{
    table.add(QStringLiteral("SAR"), [](TDeviceModel& m, const QStringList&) {
        const int code = m.FRestart.answerCode;
        if (code < 0) {
            m.FRestart.pending = true;
            m.FRestart.suppressAnswer = true;
            return QStringList{};
        }
        if (code == 0)
            m.FRestart.pending = true;
        return QStringList{QString::number(code)};
    });
}
