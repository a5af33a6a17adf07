#pragma once
// "Probenahmedaten": the operator's window over TProbedatenLogic: buttons, progress, the sample
// list with its context menu and the details panel. Nothing here talks to the device.

#include "plxform.h"
#include "probedatenlogic.h"
#include "tfverlauf.h"

#include <array>
#include <functional>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTreeWidget;

class TfProbedaten : public TPLXForm {
    Q_OBJECT
public:
    using TQuestionBox = std::function<bool(QWidget* parent, const QString& question)>;
    using TMessageBox = std::function<void(QWidget* parent, const QString& text)>;
    using TFolderBox = std::function<QString(QWidget* parent, const QString& caption, const QString& start)>;
    // Proposal, filter, title, default suffix; "False" when cancelled.
    using TSaveBox = std::function<QString(QWidget* parent, const QString& proposal, const QString& filter,
                                           const QString& title, const QString& suffix)>;
    using TOpenDocument = std::function<bool(const QString& path)>;

    explicit TfProbedaten(TAppContext& context, QWidget* parent = nullptr);
    ~TfProbedaten() override;

    void SetOnOffLine(int online) override;
    void RXData(int status, int tag, const QString& data) override;
    void SwitchLanguage() override;

    // Replace the boxes (tests run headless); empty restores the default.
    void SetQuestionBox(TQuestionBox box);
    void SetMessageBox(TMessageBox box);
    void SetFolderBox(TFolderBox box);
    void SetSaveBox(TSaveBox box);
    // Opens a saved workbook with the desktop's application.
    void SetOpenDocument(TOpenDocument open);
    // Replaces the save dialog of the log chart's image.
    void SetImageSaveBox(TfVerlauf::TSaveBox box);
    // The log chart's window once "Verlauf anzeigen" has shown one, else none.
    TfVerlauf* ChartWindow() const { return FChartWindow; }

    TProbedatenLogic& Logic() { return FLogic; }

    QPushButton* btnLadeSarvik = nullptr;
    QPushButton* btnLadeDateien = nullptr;
    QPushButton* btnAbbruch = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnEXCEL = nullptr;
    QPushButton* btnProbeExcel = nullptr;
    QPushButton* btnProbeVerlauf = nullptr;
    QProgressBar* pbProgress = nullptr;
    QTreeWidget* lvData = nullptr;
    QMenu* pmData = nullptr;
    QAction* actSelectAll = nullptr;
    QAction* actClearSelection = nullptr;
    QAction* actLoadLog = nullptr;
    QAction* actShowLog = nullptr;
    QGroupBox* gbDetails = nullptr;
    std::array<QGroupBox*, 2> frHistoryChannel{};
    std::array<QLabel*, 2> lblStatus{};
    std::array<QLabel*, 2> lblStartDate{};
    std::array<QLabel*, 2> lblStartTime{};
    std::array<QLabel*, 2> lblVolume{};
    std::array<QLabel*, 2> lblDuration{};
    std::array<QLabel*, 2> lblMeanFlow{};
    std::array<QLabel*, 2> lblSetVolume{};
    std::array<QLabel*, 2> lblSetFlow{};
    std::array<QLabel*, 2> lblFlowMonitor{};
    std::array<QLabel*, 2> lblSetDuration{};
    QLabel* lblTemperature = nullptr;
    QLabel* lblHumidity = nullptr;
    QLabel* lblPressure = nullptr;
    QLabel* lblLogging = nullptr;
    QStatusBar* StatusBar = nullptr;

protected:
    void FormShow() override;

private:
    void BuildWidgets();
    void Retranslate();
    void ShowView();
    void ShowList();
    void ShowContextMenu(const QPoint& pos);
    void ShowLogChart(int index);

    TProbedatenLogic FLogic;
    TQuestionBox FQuestionBox;
    TMessageBox FMessageBox;
    TFolderBox FFolderBox;
    TSaveBox FSaveBox;
    TOpenDocument FOpenDocument;
    TfVerlauf::TSaveBox FImageSaveBox;
    TfVerlauf* FChartWindow = nullptr;
    std::array<std::array<QLabel*, 10>, 2> FChannelCaption{};
    std::array<QLabel*, 4> FGeneralCaption{};
    bool FShown = false;
};
