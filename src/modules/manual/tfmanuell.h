#pragma once
// "Manuelle Steuerung": the service window over TManuellLogic. Sliders for pump and servo valves
// that report the user's release and wheel turns, live values in meters and fields.

#include "manuelllogic.h"
#include "plxform.h"

#include <QSlider>

#include <array>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;

// A slider that tells when the user lets go (mouse release anywhere on it, also after a click
// into the groove, or a key release) and turns wheel notches into steps instead of moving itself.
class TSetSlider : public QSlider {
    Q_OBJECT
public:
    explicit TSetSlider(QWidget* parent = nullptr);

Q_SIGNALS:
    void userPressed();
    void userReleased(int value);
    // notches > 0: turned away from the user.
    void wheelTurned(int notches, bool shift, bool ctrl);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    int FWheelRest = 0;  // wheel units not yet a notch (touchpads send small deltas)
    bool FKeyStep = false;
};

class TfManuell : public TPLXForm {
    Q_OBJECT
public:
    explicit TfManuell(TAppContext& context, QWidget* parent = nullptr);
    ~TfManuell() override;

    void SetOnOffLine(int online) override;
    void TimerEvent(int interval) override;
    void RXData(int status, int tag, const QString& data) override;
    void SwitchLanguage() override;

    TManuellLogic& Logic() { return FLogic; }

    TSetSlider* sliderPumpe = nullptr;  // tenths: 0 .. 16383
    QLineEdit* ePumpe = nullptr;
    QLineEdit* eDrehzahl = nullptr;
    QProgressBar* mPumpe = nullptr;
    QLabel* ledPumpe = nullptr;
    std::array<TSetSlider*, 2> sliderRE{};
    std::array<QLineEdit*, 2> eRE{};
    std::array<QLineEdit*, 2> eREProz{};
    std::array<QLineEdit*, 2> eREMin{};
    std::array<QLineEdit*, 2> eREMax{};
    std::array<QProgressBar*, 2> mFlow{};
    std::array<QLineEdit*, 2> eIstFlow{};
    QProgressBar* mSpeicher = nullptr;
    QLabel* ledSpeicher = nullptr;
    QLineEdit* eSpeicherDruck = nullptr;
    QPushButton* btnStop = nullptr;
    QStatusBar* StatusBar = nullptr;

protected:
    void FormShow() override;

private:
    void BuildWidgets();
    void Retranslate();
    void ShowView();

    TManuellLogic FLogic;
    std::array<QLabel*, 16> FCaptions{};
    std::array<class QGroupBox*, 4> FGroups{};
};
