#include "statusbar.h"

#include <algorithm>

#include "i18n.h"

#include <QPainter>
#include <QStatusBar>

namespace {

constexpr int kDataActiveMs = 100;

}  // namespace

TStatusPanels::TStatusPanels(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("StatusPanels"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
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
    update();
}

void TStatusPanels::setPanel(int index, const QString& text, TStatusPanelState state)
{
    TStatus& p = FPanels.at(index);
    if (p.Text == text && p.State == state)
        return;
    p.Text = text;
    p.State = state;
    update();
}

void TStatusPanels::StatusSetPort(const QString& text)
{
    // Device paths (/dev/ttyACM0, /dev/pts/12) are longer than the 50 pixels a "COM7" needs.
    FPanels[spPort].Width = std::max(50, fontMetrics().horizontalAdvance(text) + 8);
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

void TStatusPanels::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    int x = 0;
    for (const TStatus& panel : FPanels) {
        if (x >= width())
            break;
        const QRect r(x, 0, std::min(panel.Width, width() - x), height());
        const QColor back = panel.BackCol[panel.State];
        const QColor font = panel.FontCol[panel.State];
        p.fillRect(r, back.isValid() ? back : palette().color(QPalette::Window));
        p.setPen(font.isValid() ? font : palette().color(QPalette::WindowText));
        const Qt::Alignment align = Qt::AlignVCenter | (panel.Align == 1 ? Qt::AlignHCenter : Qt::AlignLeft);
        p.drawText(r.adjusted(2, 0, -2, 0), int(align) | Qt::TextSingleLine, panel.Text);
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(r.topRight(), r.bottomRight());
        x += panel.Width + 1;
    }
}
