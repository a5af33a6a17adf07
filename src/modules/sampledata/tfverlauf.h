#pragma once
// "Probenahmeverlauf": the process log of one run as a chart, opened from the sample data
// window. Zoom by mouse wheel or rectangle, back by a double click; "Als Bild speichern" writes
// a PNG or a PDF.

#include "chartdata.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class TSarvikChart;

class TfVerlauf : public QWidget {
    Q_OBJECT
public:
    // The file to save to, from a proposal; empty when cancelled.
    using TSaveBox = std::function<QString(QWidget* parent, const QString& proposal)>;

    explicit TfVerlauf(QWidget* parent = nullptr);

    // Shows the chart of the record with this number.
    void SetData(int number, const TChartData& data);
    int RecordNumber() const { return FNumber; }
    // Folder the file name is proposed in.
    void SetOutputFolder(const QString& folder) { FOutputFolder = folder; }
    // Replaces the save dialog (tests run headless); empty restores the default.
    void SetSaveBox(TSaveBox box);
    void SwitchLanguage();

    void btnBildSpeichernClick();

    TSarvikChart* chtVerlauf = nullptr;
    QPushButton* btnBildSpeichern = nullptr;
    QLabel* lblHinweis = nullptr;

Q_SIGNALS:
    // The outcome of a save, for the sample data window's status line.
    void Status(const QString& text, bool alarm);

private:
    void Retranslate();

    TSaveBox FSaveBox;
    int FNumber = -1;
    QString FOutputFolder;
};
