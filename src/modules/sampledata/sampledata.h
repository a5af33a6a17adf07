#pragma once
// Sample records of the device and their process logs, the device facts that head an export,
// and the texts and colours a sample channel is shown with. No widgets, no link.

#include <QColor>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

#include <array>
#include <vector>

struct T_DATA_CHANNEL {
    int iStatus = 0;    // 1 success, 2 operator stop, 3 error, 4 inactive
    int iError = 0;     // 1 flow sensor, 4 temperature sensor
    int iFlowFlag = 0;  // 1 within tolerance, 2 below minimum, 4 above maximum
    QDate dtStartDate;
    QTime tmStartTime;
    float fSetFlow = 0.0f;    // l/min
    float fSetVolume = 0.0f;  // l
    int iSetTime = 0;         // minutes (interval mode)
    int iSetFlags = 0;        // preset channel flags: 1/2 volume type, 4 flow monitor, 8 interval, 16 active
    float fVolume = 0.0f;     // l
    int tSampleTime = 0;      // s
};

struct T_SAMPLELOG {
    int iStatus = 0;  // 0 ends the log on the wire
    QDate dtDate;
    QTime tmTime;
    std::array<float, 2> sFlow{};
    std::array<int, 2> iFlowFlag{};  // 0 within tolerance, 1 below minimum, 2 above maximum
    int iClimateState = 0;
    float sTemperature = 0.0f;
    float sHumidity = 0.0f;
    float sAirPressure = 0.0f;
};

struct T_SAMPLEDATA {
    int uiNummer = 0;
    int uiRecStatus = 0;
    int uiAlarm = 0;
    QDate dtDate;
    QTime tmTime;
    std::array<T_DATA_CHANNEL, 2> aDC{};
    std::vector<T_SAMPLELOG> aSL;
    int iClimateState = 0;  // 0 temperature and humidity, 1 temperature only, other none
    float sTemperature = 0.0f;
    float sHumidity = 0.0f;
    float sAirPressure = 0.0f;  // <= 10 counts as missing
    QString sLogFileName;
    bool bLoggingActive = false;
};

enum TOptionType : int { otString = 0, otDate = 1, otTime = 2 };

struct T_OPTIONS {
    QString sOrder;
    QString sAnswer;
    QString sDescript;
    QString sVal;
    QString sUnit;
    TOptionType iTyp = otString;
    int iToken = 0;
    int iRow = 0;
    int iColDescript = 1;
    int iColVal = 2;
};

// Channel flag bits used here.
constexpr int kFlagFlowMonitor = 4;
constexpr int kFlagInterval = 8;

// The device facts asked after a complete download, captions translated.
std::vector<T_OPTIONS> BuildOptionRows();

// Fills record from the fields 3.. of a "TDR" answer (fields[0] is field 3). A field that does
// not parse leaves its target zero.
void DecodeRecordFields(const QStringList& fields, T_SAMPLEDATA& record);
// Fills entry from the fields 3.. of a "TDN" answer (fields[0] is the entry status).
void DecodeLogFields(const QStringList& fields, T_SAMPLELOG& entry);

QString SampleStatusText(int iStatus, int iError, int uiAlarm);
QColor SampleStatusColor(const T_DATA_CHANNEL& channel);
QString FlowMonitorText(const T_DATA_CHANNEL& channel);
QColor FlowMonitorColor(const T_DATA_CHANNEL& channel);
// Text of a log entry's flow-monitor code.
QString LogFlowMonitorText(int code);

inline const QColor kSilver{192, 192, 192};
inline const QColor kStatusError{254, 106, 80};
inline const QColor kStatusFlowWarn{248, 159, 71};
inline const QColor kStatusSuccess{164, 251, 166};
inline const QColor kStatusStopped{254, 252, 156};
inline const QColor kFlowMonitorBad{255, 111, 111};

// Lines of a card file read as Latin-1: a byte-order mark dropped, CR LF or LF, empty lines
// skipped. False when the file cannot be read.
bool ReadCardFileLines(const QString& path, QStringList& lines);
