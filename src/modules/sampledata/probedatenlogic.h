#pragma once
// What the sample data window does, without widgets: the record download ("GDP", "GDR"), the
// delete, the device facts for the export header, the process-log download ("GDN") and the
// card's files, and the view of the list and the details panel. TfProbedaten shows this view
// and forwards the user's actions; tests drive it headless. Everything advances by answers:
// no nested event loop, and boxes are opened from the event loop, never from inside RXData or
// SetOnOffLine. User-interface thread only.

#include "appcontext.h"
#include "chartdata.h"
#include "sampledata.h"
#include "spreadsheetexport.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <vector>

// Download endings.
enum TFinishReason : int { frDone = 0, frTransferError = 1, frOffline = 2, frUserAbort = 3, frNoData = 4 };

// Tags of this window's orders; an option row i goes out with tag i + 1.
constexpr int kProbeTagDefault = 0;
constexpr int kProbeTagDelete = 1;

constexpr int kMaxDownloadRecords = 100;

// Columns of the sample list.
enum TListColumn : int {
    lcNr = 0,
    lcChannel1 = 1,  // seven columns per channel from here
    lcChannel2 = 8,
    lcTemperature = 15,
    lcHumidity,
    lcPressure,
    lcLogging,
    lcCount
};
constexpr int kChannelColumns = 7;  // Status, Datum, Zeit, IstVol., Dauer, SollVol., SollFlow

struct TListRow {
    int Index = -1;  // table index of the record
    std::array<QString, lcCount> Cells;
    std::array<QColor, lcCount> Colours;
    bool Checked = false;
};

struct TChannelDetails {
    QString Status;
    QColor StatusColour;
    QString StartDate;
    QString StartTime;
    QString Volume;
    QString Duration;
    QString MeanFlow;
    QString SetVolume;
    QString SetFlow;
    QString FlowMonitor;
    QColor FlowMonitorColour;
    QString SetDuration;
    bool operator==(const TChannelDetails&) const = default;
};

struct TDetailsView {
    QString Title;
    std::array<TChannelDetails, 2> Channel;
    QString Temperature;
    QString Humidity;
    QString Pressure;
    QString Logging;
    bool operator==(const TDetailsView&) const = default;
};

struct TProbeControls {
    bool LadeSarvikEnabled = false;  // "Von &Sarvik2 laden"
    bool LadeDateienEnabled = true;  // "Aus &Dateien laden"
    bool AbbruchEnabled = false;
    bool DeleteVisible = true;       // "Alle löschen"
    bool DeleteEnabled = false;
    bool ExcelVisible = true;        // "nach EXCEL"
    bool ExcelEnabled = false;
    bool LogActionEnabled = false;   // "Log nach EXCEL" and its menu entry
    bool SelectEntriesEnabled = false;  // the two ticking entries of the menu
    bool ListEnabled = true;
    bool ProgressVisible = false;
    bool ProgressMarquee = false;
    int ProgressMax = 0;
    int ProgressPos = 0;
};

class TProbedatenLogic : public QObject {
    Q_OBJECT
public:
    using TQuestion = std::function<bool(const QString& question)>;   // warning, Yes/No
    using TMessage = std::function<void(const QString& text)>;        // message box
    using TFolderDialog = std::function<QString(const QString& caption, const QString& start)>;
    // The log export of a record (table index); the spreadsheet export comes with its own unit.
    using TLogExport = std::function<void(int index)>;
    using TSampleExport = std::function<void()>;
    // Shows the chart of a record's log (table index).
    using TLogChart = std::function<void(int index)>;

    explicit TProbedatenLogic(TAppContext& context, QObject* parent = nullptr);

    void SetQuestion(TQuestion q) { FQuestion = std::move(q); }
    void SetMessageBox(TMessage m) { FMessageBox = std::move(m); }
    void SetFolderDialog(TFolderDialog d) { FFolderDialog = std::move(d); }
    void SetLogExport(TLogExport e) { FLogExport = std::move(e); }
    void SetSampleExport(TSampleExport e) { FSampleExport = std::move(e); }
    void SetLogChart(TLogChart c) { FLogChart = std::move(c); }

    // Module operations.
    void FormShow();
    void SetOnOffLine(int online);
    void RXData(int status, int tag, const QString& data);
    void SwitchLanguage();

    // User actions.
    void btnLadeSarvikClick();
    void btnAbbruchClick();
    void btnDeleteClick();
    void btnLadeDateienClick();
    void btnEXCELClick();
    // "Log nach EXCEL" and "Probenahmeverlauf laden und exportieren".
    void btnProbeExcelClick();
    // "Verlauf anzeigen": loads the log as "Log nach EXCEL" does, then shows it as a chart.
    void btnProbeVerlaufClick();
    // Row of the list selected (-1: none).
    void SelectRow(int row);
    void SetRowChecked(int row, bool checked);
    void SelectAll();    // "Alle Probenahmen selektieren"
    void ClearChecks();  // "Alle Selektionen löschen"

    // Parses a "TDR" text into a new entry at the end of the table; false ends a download.
    bool ParseSampleRecord(const QString& text);
    // Appends one entry to the current record's log from a "TDN" text.
    void ParseLogEntry(const QString& text);
    void StartRecordDownload(int newest);
    // How many records a download takes at most, newest first (1 .. kMaxDownloadRecords).
    void SetRecordLimit(int count);
    int RecordLimit() const { return FRecordLimit; }
    void FinishRecordDownload(int reason);
    void StartLogDownload();
    void FinishLogDownload(int reason);
    void UpdateLogActions();
    int FindRecordByNumber(int number) const;
    int LoadRecordsFromFolder(const QString& folder);

    // The view.
    const std::vector<T_SAMPLEDATA>& Records() const { return FRecords; }
    const std::vector<T_OPTIONS>& Options() const { return FOptions; }
    const std::vector<TListRow>& Rows() const { return FRows; }
    int SelectedRow() const { return FSelectedRow; }
    const TDetailsView& Details() const { return FDetails; }
    const TProbeControls& Controls() const { return FControls; }
    int CurrentRecord() const { return FCurrent; }
    bool Downloading() const { return FDownloading; }
    bool LogDownloading() const { return FLogDownloading; }
    bool Busy() const { return FDownloading || FLogDownloading || FWaitingForNewest || FExporting; }
    bool Exporting() const { return FExporting; }
    // The spreadsheet side of the exports (dialog hooks, workbook factory).
    TSpreadsheetExport& Export() { return FExport; }

    // The two exports; a log export needs at least one entry.
    void ExportSamples();
    void ExportLog(int index);
    // The chart of a record's log (table index); empty for an invalid index.
    TChartData LogChart(int index) const;
    // Column captions of the list, translated.
    static QStringList ColumnCaptions();

    // Cleared state of the details panel.
    static TDetailsView ClearedDetails();
    TDetailsView DetailsOf(const T_SAMPLEDATA& record) const;
    TListRow RowOf(int index) const;

Q_SIGNALS:
    // A text for the window's status line.
    void Status(const QString& text, bool alarm);
    // The list was rebuilt.
    void ListChanged();
    // Details, controls or progress changed.
    void ViewChanged();

private:
    void send(const QString& command, int tag);
    void status(const QString& text, bool alarm);
    void rebuildList();
    void clearList();
    void clearDetails();
    void updateControls();
    void clearOptionValues();
    void onRecordAnswer(const QString& data);
    void onLogAnswer(const QString& data);
    void onDeleteAnswer(const QString& data);
    void onOptionAnswer(int tag, const QString& data);
    void loadLog();
    void loadLogFromFile();
    void exportLogLater(int index);
    void continueLogExport();
    void finishLogExport(bool aborted);

    TAppContext& FContext;
    TQuestion FQuestion;
    TMessage FMessageBox;
    TFolderDialog FFolderDialog;
    TLogExport FLogExport;
    TSampleExport FSampleExport;
    TLogChart FLogChart;

    std::vector<T_SAMPLEDATA> FRecords;
    std::vector<T_OPTIONS> FOptions;
    std::vector<bool> FChecked;  // per table index
    std::vector<TListRow> FRows;
    int FSelectedRow = -1;
    TDetailsView FDetails;
    TProbeControls FControls;

    bool FWaitingForNewest = false;  // GDP sent, TDP not yet here
    bool FDownloading = false;
    bool FLogDownloading = false;
    bool FAbort = false;
    bool FNoData = false;
    int FRecordLimit = kMaxDownloadRecords;
    int FNewest = 0;
    int FOldest = 0;
    int FNext = 0;
    QString FLastError;
    int FCurrent = -1;
    bool FLogForChart = false;  // the log being loaded is shown, not exported
    bool FExporting = false;
    int FLogExportIndex = -1;
    size_t FLogExportNext = 0;
    TSpreadsheetExport FExport;
};
