#pragma once
// Value nodes that hold several values: a table of floats (also a one-row list) and a
// serial-port record. Each is stored in a section of its own, named by its full path.

#include "settingsnodes.h"

using TFloatArr = QList<long double>;

// Coordinate access only; the path forms are left to the concrete nodes.
class TMultiValueNode : public TValueNode {
public:
    using TValueNode::TValueNode;
};

// Cell (x, y) is column x, row y. Keys in the file: "column-row".
class TFloatTableNode : public TMultiValueNode {
public:
    // Missing defaults are zeros, missing limits are unbounded.
    TFloatTableNode(const QString& identifier, const QStringList& captions, qint32 cols, qint32 rows,
                    const TStringArrArr& colCaps, const QList<TFloatArr>& defaults, qint32 decimals,
                    const TFloatArr& minVals, const TFloatArr& maxVals);

    TFloatArr minVals;
    TFloatArr maxVals;
    qint32 rows;
    qint32 cols;
    QList<TFloatArr> values;    // one list per column
    QList<TFloatArr> defaults;
    qint32 decimals;
    TStringArrArr colLangCaps;
    QStringList colCaps;

    long double GetFloat(int x, int y) const override;
    QString GetStr(int x, int y) const override;
    bool SetFloat(long double val, QString& errMsg, int x, int y) override;

    // Coordinates come from x, y or from the path ("x" or "x/y"), never from both.
    long double GetFloatP(const QString& path, int x, int y) const override;
    QString GetStrP(const QString& path, int x, int y) const override;
    bool SetFloatP(const QString& path, long double val, QString& errMsg, int x, int y) override;
    // The path names a size: "count" (one-row tables), "cols" or "rows".
    qint32 GetIntP(const QString& path, int x, int y) const override;

    bool GetBoolP(const QString& path, int x, int y) const override;
    bool SetIntP(const QString& path, qint32 val, QString& errMsg, int x, int y) override;
    bool SetStrP(const QString& path, const QString& val, QString& errMsg, int x, int y) override;
    bool SetBoolP(const QString& path, bool val, QString& errMsg, int x, int y) override;

    void SetLanguage(int lang) override;
    void SaveToFile(TSettingsIni& ini) const override;
    // All cells or none: a bad number leaves the whole table as it was.
    void ReadFromFile(const TSettingsIni& ini) override;
    QString ClassName() const override { return QStringLiteral("TFloatTableNode"); }

private:
    void coordsFromPath(const QString& path, int& x, int& y) const;
    // Row -1 of a one-row table is row 0; anything outside the table raises.
    void checkCell(int x, int& y) const;
};

struct TComPortVals {
    QString ComPort;
    QString BaudRate;
    bool Log = false;
    qint32 TimeOut = 0;   // ms
    qint32 Interval = 0;  // ms
};

// Fields by number: 0 ComPort, 1 BaudRate, 2 Log, 3 TimeOut, 4 Interval; by path: their names.
class TComPortNode : public TMultiValueNode {
public:
    TComPortNode(const QString& identifier, const QStringList& captions, const TComPortVals& defaults,
                 bool withBaud);
    TComPortNode(const QString& identifier, const QStringList& captions, const QString& comPort,
                 const QString& baudRate, bool log, qint32 timeOut, qint32 interval, bool withBaud);

    TComPortVals defaults;
    TComPortVals values;
    bool withBaud;

    qint32 GetInt(int x, int y) const override;
    QString GetStr(int x, int y) const override;
    bool GetBool(int x, int y) const override;
    bool SetInt(qint32 val, QString& errMsg, int x, int y) override;
    bool SetStr(const QString& val, QString& errMsg, int x, int y) override;
    bool SetBool(bool val, QString& errMsg, int x, int y) override;

    qint32 GetIntP(const QString& path, int x, int y) const override;
    QString GetStrP(const QString& path, int x, int y) const override;
    bool GetBoolP(const QString& path, int x, int y) const override;
    long double GetFloatP(const QString& path, int x, int y) const override;
    bool SetIntP(const QString& path, qint32 val, QString& errMsg, int x, int y) override;
    bool SetStrP(const QString& path, const QString& val, QString& errMsg, int x, int y) override;
    bool SetBoolP(const QString& path, bool val, QString& errMsg, int x, int y) override;
    bool SetFloatP(const QString& path, long double val, QString& errMsg, int x, int y) override;

    void SaveToFile(TSettingsIni& ini) const override;
    void ReadFromFile(const TSettingsIni& ini) override;
    QString ClassName() const override { return QStringLiteral("TComPortNode"); }

private:
    enum class TKind { Integer, String, Boolean };
    void checkY(int y) const;
    [[noreturn]] void raiseNoField(TKind kind, int x) const;
    // The field number a path names for an access of that kind (reading as text takes any field).
    int fieldFromPath(const QString& path, int x, int y, TKind kind, bool reading) const;
};
