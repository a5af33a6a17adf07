// libFuzzer target for the sample data download: each input line is the payload of a "TDR"
// answer (a sample record) until an empty line, then of "TDN" answers (process log entries) of
// the first record with logging. The window's list and details are built from what came in.

#include "appcontext.h"
#include "i18n.h"
#include "probedatenlogic.h"
#include "programsettings.h"
#include "sendorder.h"
#include "settingsform.h"
#include "sysmeld.h"
#include "wireformat.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
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
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> lines = input.split('\n');
    qsizetype logStart = lines.indexOf(QByteArray());
    if (logStart < 0)
        logStart = lines.size();

    static TFSettingsForm* settings = [] {
        auto* s = new TFSettingsForm;
        BuildProgramSettings(*s);
        return s;
    }();
    TAppContext context(*settings);
    context.Online = true;
    TProbedatenLogic logic(context);
    logic.SetQuestion([](const QString&) { return false; });
    logic.SetMessageBox([](const QString&) {});

    logic.StartRecordDownload(static_cast<int>(logStart));
    for (qsizetype i = 0; i < logStart && logic.Downloading(); ++i)
        logic.RXData(kOrderDone, kProbeTagDefault, QStringLiteral("TDR;") + FromWire(lines.at(i)));
    if (logic.Downloading())
        logic.FinishRecordDownload(0);
    check(logic.Records().size() <= static_cast<size_t>(logStart), "at most one record per answer");
    check(logic.Rows().size() <= logic.Records().size(), "at most one row per record");

    int logRow = -1;
    for (int row = 0; row < static_cast<int>(logic.Rows().size()); ++row) {
        logic.SelectRow(row);
        (void)logic.RowOf(logic.Rows()[static_cast<size_t>(row)].Index);
        if (logRow < 0 && logic.Controls().LogActionEnabled)
            logRow = row;
    }
    if (logRow >= 0) {
        logic.SelectRow(logRow);
        logic.StartLogDownload();
        for (qsizetype i = logStart + 1; i < lines.size() && logic.LogDownloading(); ++i)
            logic.RXData(kOrderDone, kProbeTagDefault, QStringLiteral("TDN;") + FromWire(lines.at(i)));
        if (logic.LogDownloading())
            logic.FinishLogDownload(0);
        check(logic.CurrentRecord() < 0 || logic.Records()[static_cast<size_t>(logic.CurrentRecord())].aSL.size() <=
                                                  static_cast<size_t>(lines.size()),
              "at most one log entry per answer");
    }
    return 0;
}
