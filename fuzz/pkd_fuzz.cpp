// libFuzzer target for the read-back description (".pkd"): any file bytes loaded and parsed
// into items, then a read-back run against answers from the same input.

#include "appcontext.h"
#include "i18n.h"
#include "programsettings.h"
#include "sendorder.h"
#include "settingsform.h"
#include "sysmeld.h"
#include "tclogic.h"
#include "wireformat.h"

#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
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
    return QString::fromUtf8(dir ? dir : "/tmp") + QStringLiteral("/pkd_fuzz_%1.pkd").arg(getpid());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SetProgramLanguage(kLangGerman);
    SetOrderSink([](const TOrder&) {});
    SetStatusMessageHook([](const QString&, bool) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The file, then after a NUL byte the device's answers, one a line.
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = input.indexOf('\0');
    const QByteArray file = split < 0 ? input : input.left(split);
    const QList<QByteArray> answers = split < 0 ? QList<QByteArray>() : input.mid(split + 1).split('\n');

    static const QString fileName = scratchFile();
    {
        QFile f(fileName);
        check(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "scratch file opens");
        check(f.write(file) == file.size(), "scratch file written");
    }
    static TFSettingsForm* settings = [] {
        auto* s = new TFSettingsForm;
        BuildProgramSettings(*s);
        return s;
    }();
    TAppContext context(*settings);
    context.Online = true;
    TTcLogic logic(context);
    logic.SetDialogs({{}, {}, [](const QString&) {}});
    logic.SetNow([] { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)); });
    check(logic.LoadFile(fileName, true), "a readable file loads");
    check(logic.Items().size() <= logic.Lines().size(), "at most one item per line");

    logic.StartTransfer(TTcMode::ReadBack);
    qsizetype next = 0;
    for (int step = 0; logic.Busy() && step < 4 * (logic.Items().size() + 2); ++step) {
        logic.TimerEvent();
        if (logic.AnswerPending()) {
            if (next >= answers.size()) {
                logic.SetOnOffLine(0);
                break;
            }
            logic.RXData(kOrderDone, logic.AwaitedIndex(), FromWire(answers.at(next++)));
        }
    }
    (void)logic.ProposedName();
    return 0;
}
