#pragma once
// A spreadsheet workbook written by the program itself (Office Open XML, .xlsx/.xlsm): opened
// from an operator's template or started empty, cells of the first worksheet set, saved under a
// new name. Parts of the template that are not touched are kept as they are. Rows below the
// template's last row are written out as they come, so a long log is never held as one tree.

#include <QDate>
#include <QString>
#include <QTime>

#include <map>
#include <memory>
#include <vector>

struct TCellValue {
    enum TKind { Empty, Number, Text, Date, Time };
    TKind Kind = Empty;
    QString Value;  // Number: the formatted number ("0.9500"); Text: the text
    QDate DateValue;
    QTime TimeValue;

    static TCellValue number(const QString& formatted) { return {Number, formatted, {}, {}}; }
    static TCellValue text(const QString& t) { return {Text, t, {}, {}}; }
    static TCellValue date(const QDate& d) { return {Date, {}, d, {}}; }
    static TCellValue time(const QTime& t) { return {Time, {}, {}, t}; }
};

class TWorkbook {
public:
    // Spreadsheet row limit of the format.
    static constexpr int kMaxRows = 1048576;

    TWorkbook();
    virtual ~TWorkbook();
    TWorkbook(const TWorkbook&) = delete;
    TWorkbook& operator=(const TWorkbook&) = delete;

    // A new workbook with one empty worksheet.
    virtual void CreateEmpty();
    // Reads the whole template; false with a reason when it is no workbook this writer can read.
    virtual bool Open(const QString& path, QString* error);

    // Whether the package holds a VBA project (macros).
    virtual bool HasVbaProject() const;
    virtual void SetAuthor(const QString& author) { FAuthor = author; }

    // Row and column from 1. False when the row was already written out (rows below the template
    // are written in ascending order) or lies beyond the row limit.
    virtual bool SetCell(int row, int column, const TCellValue& value);
    // rows[i][j] goes to (firstRow + i, 1 + j).
    virtual bool SetBlock(int firstRow, const std::vector<std::vector<TCellValue>>& rows);

    // Writes the workbook as .xlsx or .xlsm after the path's extension, atomically; the VBA
    // project is kept only in .xlsm.
    virtual bool SaveAs(const QString& path, QString* error);

    // Highest row set so far (0 when none).
    int LastRow() const { return FLastRow; }

private:
    class TImpl;
    std::unique_ptr<TImpl> FImpl;
    QString FAuthor;
    int FLastRow = 0;
};

// Days since the workbook's epoch (1899-12-30, or 1904-01-01 with date1904).
double SpreadsheetDate(const QDate& date, bool date1904);
double SpreadsheetTime(const QTime& time);
// "A", "B", ..., "Z", "AA", ...
QString ColumnName(int column);
