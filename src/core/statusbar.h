#pragma once
// The main window's four-panel status bar: port, link, data activity and the last message.
// Owner-drawn in one widget that repaints only when a panel changes.

#include <QColor>
#include <QString>
#include <QWidget>

#include <array>

class QStatusBar;

enum TStatusPanelState { spsInactive = 0, spsActive = 1 };

// One panel. Invalid colours stand for the window colour (back) and the window text (font).
struct TStatus {
    QString Text;
    std::array<QColor, 2> BackCol{};  // by TStatusPanelState
    std::array<QColor, 2> FontCol{};
    TStatusPanelState State = spsInactive;
    int ActiveTimeout = 0;   // milliseconds a StatusDataActivity keeps the panel active
    int TimeoutCounter = 0;  // milliseconds left
    int Width = 0;
    int Align = 0;  // 0 left, 1 centred
};

enum TStatusPanelIndex { spPort = 0, spLink = 1, spData = 2, spMessage = 3 };
constexpr int kStatusPanelCount = 4;

class TStatusPanels : public QWidget {
    Q_OBJECT
public:
    explicit TStatusPanels(QWidget* parent = nullptr);

    // Sets up the panels and places this widget in bar (when given). timerIntervalMs is what
    // StatusTick counts down per call.
    void StatusInit(int timerIntervalMs, QStatusBar* bar);
    void StatusSetPort(const QString& text);
    void StatusSetOnline(bool online);
    // After each write to the device: the activity panel lights up for 100 ms.
    void StatusDataActivity();
    // Every tick of the status timer.
    void StatusTick();
    void StatusSetMessage(const QString& text, bool alarm);
    void StatusClearMessage();
    void SwitchLanguage();

    const TStatus& Panel(int index) const { return FPanels.at(index); }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void setPanel(int index, const QString& text, TStatusPanelState state);

    std::array<TStatus, kStatusPanelCount> FPanels{};
    int FTimerIntervalMs = 50;
    bool FOnline = false;
};
