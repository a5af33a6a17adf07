#pragma once
// The main window's four-panel status bar: port, link, data activity and the last message.
// Each panel is an owner-drawn child that repaints only when it changes; its text is also its
// accessible name, so screen readers read what is drawn.

#include <QColor>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class QStatusBar;
class TStatusCell;

// Sets w's accessible name to the text it draws and tells screen readers of the change (Qt
// before 6.5 does not do the latter itself). Nothing when the name is already text.
void SetDrawnTextName(QWidget* w, const QString& text);
// Sees every such change before it goes to the platform, which drops it while no screen reader
// runs (tests); empty removes it.
void SetAccessibleChangeObserver(std::function<void(QWidget* w, const QString& text)> observer);

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
    // The widget that draws panel index.
    QWidget* PanelWidget(int index) const;
    QSize sizeHint() const override;

private:
    void setPanel(int index, const QString& text, TStatusPanelState state);
    void updateCells();

    std::array<TStatus, kStatusPanelCount> FPanels{};
    std::array<TStatusCell*, kStatusPanelCount> FCells{};
    int FTimerIntervalMs = 50;
    bool FOnline = false;
};
