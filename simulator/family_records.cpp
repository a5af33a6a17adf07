// Sample records and process logs: newest number, one record, one log entry per request, delete;
// the personalisation texts and the last calibration that head a record export.

#include "commandtable.h"
#include "devicemodel.h"
#include "families.h"
#include "recordstore.h"
#include "virtualsarvik.h"

namespace {

// What the owner had engraved: texts with "&", "<" and an umlaut on purpose.
const QStringList kPersonalisation{QStringLiteral("Müller & Söhne Umweltlabor"), QStringLiteral("Messstelle <Nord>"),
                                   QStringLiteral("Tel. 0421 / 55 66 77"), QStringLiteral("Gerät 4 - Halle B")};

}  // namespace

void RegisterRecordCommands(TCommandTable& table)
{
    table.add(QStringLiteral("GDP"), [](TDeviceModel& m, const QStringList&) {
        const auto& records = SimRecords(m).records;
        return QStringList{QString::number(records.empty() ? 0 : static_cast<int>(records.size()) - 1)};
    });
    table.add(QStringLiteral("GDR"), [](TDeviceModel& m, const QStringList& p) {
        return SimRecords(m).answerRecord(p);
    });
    table.add(QStringLiteral("GDN"), [](TDeviceModel& m, const QStringList& p) {
        return SimRecords(m).answerLog(p);
    });
    table.add(QStringLiteral("SDI"), [](TDeviceModel& m, const QStringList& p) {
        return SimRecords(m).answerDelete(p, m.deviceState() == kDevSampling);
    });
    table.add(QStringLiteral("GIP"), [](TDeviceModel&, const QStringList& p) {
        int i = 0;
        if (!IntParamIn(p, 0, 0, static_cast<int>(kPersonalisation.size()) - 1, i))
            return QStringList{};
        return QStringList{QString::number(i), kPersonalisation.at(i)};
    });
}

QString ExecuteRecordsControlCommand(TVirtualSarvik& device, const QString& name, const QStringList& args,
                                     bool& handled)
{
    handled = true;
    if (name == QLatin1String("records")) {
        QString text;
        device.withModel([&](TDeviceModel& m) {
            const TSimRecordStore& s = SimRecords(m);
            text = QStringLiteral("ok records=%1 newest=%2 forced=%3")
                       .arg(s.records.size())
                       .arg(s.records.empty() ? 0 : static_cast<int>(s.records.size()) - 1)
                       .arg(s.forcedResult.size());
        });
        return text;
    }
    if (name == QLatin1String("recordresult")) {
        bool okNumber = false;
        bool okResult = false;
        const int number = args.value(0).toInt(&okNumber);
        const int result = args.value(1).toInt(&okResult);
        if (args.size() != 2 || !okNumber || !okResult || result < 0 || result > 4)
            return QStringLiteral("error usage: recordresult <number> <0..4> (0 answers normally again)");
        device.withModel([&](TDeviceModel& m) {
            TSimRecordStore& s = SimRecords(m);
            if (result == 0)
                s.forcedResult.remove(number);
            else
                s.forcedResult.insert(number, result);
        });
        return QStringLiteral("ok record %1 result %2").arg(number).arg(result);
    }
    if (name == QLatin1String("deletefail")) {
        const QString v = args.value(0).toLower();
        if (args.size() != 1 || (v != QLatin1String("on") && v != QLatin1String("off")))
            return QStringLiteral("error usage: deletefail on|off");
        device.withModel([&](TDeviceModel& m) { SimRecords(m).forceDeleteFailure = v == QLatin1String("on"); });
        return QStringLiteral("ok deletefail %1").arg(v);
    }
    if (name == QLatin1String("card")) {
        if (args.size() != 1)
            return QStringLiteral("error usage: card <dir>");
        bool ok = false;
        QString error;
        device.withModel([&](TDeviceModel& m) { ok = SimRecords(m).writeCard(args.at(0), &error); });
        return ok ? QStringLiteral("ok card written to %1/sampling_data").arg(args.at(0))
                  : QStringLiteral("error ") + error;
    }
    handled = false;
    return {};
}
