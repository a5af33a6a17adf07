#pragma once
// "Testergebnis": the result of one of the device's built-in tests with its start button.

#include "servicelogic.h"

#include <QGroupBox>

#include <functional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

using TTestStartCallback = std::function<void()>;

class TfrTestergebnis : public QGroupBox {
    Q_OBJECT
public:
    // captions: frame, value row 0, value row 1; unit after the values.
    TfrTestergebnis(const char* caption, const char* row0, const char* row1, const QString& unit, QWidget* parent = nullptr);

    void ShowView(const TTestFrameView& view);
    void SetTestButtonEnabled(bool enabled);
    // The button shows only when a callback is set.
    void SetStartCallback(TTestStartCallback callback);
    void SwitchLanguage();

    QLineEdit* eDatum = nullptr;
    QLineEdit* eZeit = nullptr;
    QLineEdit* eErgVal0 = nullptr;
    QLineEdit* eErgVal1 = nullptr;
    QLineEdit* eErgebnis = nullptr;
    QLabel* ledErgebnis = nullptr;
    QProgressBar* aiTestRunning = nullptr;
    QPushButton* btnStartTest = nullptr;
    TTestStartCallback FStartCallback;

private:
    const char* FCaption;
    const char* FRow0;
    const char* FRow1;
    QList<QLabel*> FLabels;
    bool FRunning = false;
    bool FButtonEnabled = false;
};
