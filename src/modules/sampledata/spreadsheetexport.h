#pragma once
// The spreadsheet export of the sample data window: the connection to one workbook at a time,
// the device facts and sample rows every export writes, the sample export and the log export.
// The workbook is written by the program (TWorkbook); no spreadsheet application is needed.

#include "sampledata.h"
#include "workbook.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class TFSettingsForm;

enum TCloseResult { crSaved, crNotSaved, crFailed, crCancelled };

class TSpreadsheetExport {
public:
    using TWorkbookFactory = std::function<std::unique_ptr<TWorkbook>()>;
    // Proposed path, filter, title, default suffix; returns the chosen path or "False".
    using TSaveDialog = std::function<QString(const QString& proposal, const QString& filter, const QString& title,
                                              const QString& suffix)>;
    using TYesNoCancel = std::function<int(const QString& question)>;  // 0 yes, 1 no, 2 cancel
    using TOpenDocument = std::function<bool(const QString& path)>;
    using TMessage = std::function<void(const QString& text, bool alarm)>;  // the window's status line
    using TBox = std::function<void(const QString& text)>;

    explicit TSpreadsheetExport(TFSettingsForm& settings);
    ~TSpreadsheetExport();

    TWorkbookFactory Factory;
    TSaveDialog SaveDialog;
    TYesNoCancel Question;
    TOpenDocument OpenDocument;
    TMessage Message;
    TBox Box;

    bool IsOpen() const { return bool(FBook); }
    // The extension as worked out from the template or the setting, and the one written.
    QString Extension() const { return FExtension; }
    QString WriteExtension() const { return FWriteExtension; }
    TWorkbook* Book() { return FBook.get(); }

    bool OpenSpreadsheet(const QString& templatePath);
    TCloseResult CloseSpreadsheet(const QString& fileName, bool ask, int count);
    // Row 20 captions are the list's current column captions.
    void WriteSampleHeader(const std::vector<T_OPTIONS>& options, const QStringList& captions);
    void WriteSampleRow(const T_SAMPLEDATA& record, int row);
    // The log table from row 22 in blocks of 100 rows (header first); false when it does not fit.
    bool WriteLogTable(const std::vector<T_SAMPLELOG>& log);
    // One block of that table: from entry next on (the header first when next is 0); next moves on.
    bool WriteLogBlock(const std::vector<T_SAMPLELOG>& log, size_t& next);

    // The extension of a template file name, and what the writer makes of an extension.
    static QString TemplateExtension(const QString& templatePath);
    static QString CleanExtension(QString extension);
    static QString WrittenExtension(const QString& extension, bool hasVba);

private:
    TFSettingsForm& FSettings;
    std::unique_ptr<TWorkbook> FBook;
    QString FExtension;
    QString FWriteExtension;
    std::vector<QString> FFlowTexts;
};

// Text of a log entry's flow-monitor code for the sheet.
QString LogFlowText(int code);
