#include "statusbar.h"

#include <algorithm>

#include "i18n.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QPainter>
#include <QStatusBar>

namespace {

constexpr int kDataActiveMs = 100;

}  // namespace

namespace {

std::function<void(QWidget*, const QString&)>& changeObserver()
{
    static std::function<void(QWidget*, const QString&)> observer;
    return observer;
}

}  // namespace

void SetAccessibleChangeObserver(std::function<void(QWidget* w, const QString& text)> observer)
{
    changeObserver() = std::move(observer);
}

void SetDrawnTextName(QWidget* w, const QString& text)
{
    if (w->accessibleName() == text)
        return;
    w->setAccessibleName(text);
    if (changeObserver())
        changeObserver()(w, text);
    QAccessibleEvent event(w, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

// One panel: fill, text and a separator line on its right.
class TStatusCell : public QWidget {
public:
    TStatusCell(const TStatus& panel, const QString& name, QWidget* parent)
        : QWidget(parent), FPanel(panel)
    {
        setObjectName(name);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QRect r = rect();
        const QColor back = FPanel.BackCol[FPanel.State];
        const QColor font = FPanel.FontCol[FPanel.State];
        p.fillRect(r, back.isValid() ? back : palette().color(QPalette::Window));
        p.setPen(font.isValid() ? font : palette().color(QPalette::WindowText));
        const Qt::Alignment align = Qt::AlignVCenter | (FPanel.Align == 1 ? Qt::AlignHCenter : Qt::AlignLeft);
        p.drawText(r.adjusted(2, 0, -2, 0), int(align) | Qt::TextSingleLine, FPanel.Text);
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(r.topRight(), r.bottomRight());
    }

private:
    const TStatus& FPanel;
};

TStatusPanels::TStatusPanels(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("StatusPanels"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    const std::array<const char*, kStatusPanelCount> names{"StatusPort", "StatusLink", "StatusData", "StatusMessage"};
    for (size_t i = 0; i < FCells.size(); ++i) {
        FCells[i] = new TStatusCell(FPanels[i], QString::fromLatin1(names[i]), this);
        layout->addWidget(FCells[i], i == size_t(spMessage) ? 1 : 0);
    }
    // The message panel takes what is left of its 2000 pixels.
    FCells[spMessage]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

QWidget* TStatusPanels::PanelWidget(int index) const
{
    return FCells.at(static_cast<size_t>(index));
}

void TStatusPanels::updateCells()
{
    for (size_t i = 0; i < FCells.size(); ++i) {
        if (i != size_t(spMessage))
            FCells[i]->setFixedWidth(FPanels[i].Width);
        SetDrawnTextName(FCells[i], FPanels[i].Text);
        FCells[i]->update();
    }
}

void TStatusPanels::StatusInit(int timerIntervalMs, QStatusBar* bar)
{
    FTimerIntervalMs = timerIntervalMs;
    const QColor window;  // invalid: palette colour
    TStatus& port = FPanels[spPort];
    port = TStatus{};
    port.BackCol = {window, QColor(255, 255, 255)};
    port.FontCol = {window, QColor(255, 0, 0)};
    port.Width = 50;
    port.Align = 1;

    TStatus& link = FPanels[spLink];
    link = TStatus{};
    link.Text = Tr("Offline");
    link.BackCol = {QColor(255, 0, 0), QColor(0, 255, 0)};
    link.FontCol = {QColor(255, 255, 255), window};
    link.Width = 50;
    link.Align = 1;

    TStatus& data = FPanels[spData];
    data = TStatus{};
    data.Text = Tr("Data");
    data.BackCol = {QColor(128, 128, 0), QColor(255, 255, 0)};
    data.FontCol = {window, window};
    data.ActiveTimeout = kDataActiveMs;
    data.Width = 40;
    data.Align = 1;

    TStatus& message = FPanels[spMessage];
    message = TStatus{};
    message.BackCol = {window, QColor(255, 255, 255)};
    message.FontCol = {window, QColor(255, 0, 0)};
    message.Width = 2000;
    message.Align = 0;

    FOnline = false;
    if (bar)
        bar->addWidget(this, 1);
    updateCells();
}

void TStatusPanels::setPanel(int index, const QString& text, TStatusPanelState state)
{
    TStatus& p = FPanels.at(index);
    if (p.Text == text && p.State == state)
        return;
    p.Text = text;
    p.State = state;
    // The accessible name follows the drawn text; setting it tells screen readers of the change.
    QWidget* cell = FCells.at(static_cast<size_t>(index));
    SetDrawnTextName(cell, text);
    cell->update();
}

void TStatusPanels::StatusSetPort(const QString& text)
{
    // Device paths (/dev/ttyACM0, /dev/pts/12) are longer than the 50 pixels a "COM7" needs.
    FPanels[spPort].Width = std::max(50, fontMetrics().horizontalAdvance(text) + 8);
    FCells[spPort]->setFixedWidth(FPanels[spPort].Width);
    setPanel(spPort, text, spsInactive);
    updateGeometry();
}

void TStatusPanels::StatusSetOnline(bool online)
{
    FOnline = online;
    setPanel(spLink, online ? Tr("Online") : Tr("Offline"), online ? spsActive : spsInactive);
}

void TStatusPanels::StatusDataActivity()
{
    TStatus& p = FPanels[spData];
    p.TimeoutCounter = p.ActiveTimeout;
    setPanel(spData, p.Text, spsActive);
}

void TStatusPanels::StatusTick()
{
    TStatus& p = FPanels[spData];
    if (p.TimeoutCounter <= 0)
        return;
    p.TimeoutCounter -= FTimerIntervalMs;
    if (p.TimeoutCounter <= 0)
        setPanel(spData, p.Text, spsInactive);
}

void TStatusPanels::StatusSetMessage(const QString& text, bool alarm)
{
    setPanel(spMessage, text, alarm ? spsActive : spsInactive);
}

void TStatusPanels::StatusClearMessage()
{
    setPanel(spMessage, QString(), spsInactive);
}

void TStatusPanels::SwitchLanguage()
{
    setPanel(spData, Tr("Data"), FPanels[spData].State);
    StatusSetOnline(FOnline);
}

QSize TStatusPanels::sizeHint() const
{
    return {FPanels[spPort].Width + FPanels[spLink].Width + FPanels[spData].Width + 200,
            fontMetrics().height() + 6};
}
