#include "plxform.h"

#include "settingsform.h"
#include "statusbar.h"

#include <QCloseEvent>
#include <QHideEvent>
#include <QShowEvent>
#include <QLoggingCategory>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>

#include <algorithm>

Q_LOGGING_CATEGORY(lcCore, "sarvik.core")

// Owner-drawn panel of a module window's status bar.
class TStatusPanel : public QWidget {
public:
    TStatusPanel(TPLXForm* owner, QWidget* parent) : QWidget(parent), FOwner(owner)
    {
        setObjectName(QStringLiteral("StatusPanel"));
        setMinimumHeight(fontMetrics().height() + 4);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        p.setPen(FOwner->FStatusAlarm ? QColor(Qt::red) : palette().color(QPalette::WindowText));
        p.drawText(rect().adjusted(2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, FOwner->FStatusText);
    }
    void mouseDoubleClickEvent(QMouseEvent*) override { FOwner->ShowStatusInfo(QString()); }

private:
    TPLXForm* FOwner;
};

QString WinPosPath(int clientId, const char* key)
{
    return QStringLiteral("WinPos/Client_%1/%2").arg(clientId).arg(QLatin1String(key));
}

TPLXForm::TPLXForm(TAppContext& context, QWidget* parent)
    : QWidget(parent)
    , FContext(context)
{
}

TPLXForm::~TPLXForm() = default;

void TPLXForm::ShowStatus(const QString& text, bool alarm)
{
    FStatusText = text;
    FStatusAlarm = alarm;
    if (FStatusPanel) {
        // Screen readers get the drawn text as the panel's name, and a change event with it.
        SetDrawnTextName(FStatusPanel, text);
        FStatusPanel->update();
    }
}

void TPLXForm::SetOnOffLine(int) {}
void TPLXForm::FormShow() {}
void TPLXForm::TimerEvent(int) {}
void TPLXForm::RXData(int, int, const QString&) {}
void TPLXForm::SwitchLanguage() {}

void TPLXForm::AttachStatusBar(QStatusBar* bar)
{
    FStatusBar = bar;
    if (!bar)
        return;
    FStatusPanel = new TStatusPanel(this, bar);
    SetDrawnTextName(FStatusPanel, FStatusText);
    bar->addWidget(FStatusPanel, 1);
}

QWidget* TPLXForm::StatusPanel() const
{
    return FStatusPanel;
}

QWidget* TPLXForm::FrameWindow()
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        return sub;
    return this;
}

void TPLXForm::RestoreGeometry()
{
    if (FClientID < 0 || FClientID >= kClientCount)
        return;
    try {
        const TFSettingsForm& s = FContext.Settings();
        QWidget* w = FrameWindow();
        QSize size(s.GetInt(WinPosPath(FClientID, "Width")), s.GetInt(WinPosPath(FClientID, "Height")));
        // The schema's defaults (200 x 100) are smaller than any module window, and a size
        // stored while fewer controls were shown may be too: below the window's own preferred
        // size the controls are squeezed, so that size wins in either direction.
        size = size.expandedTo(w->minimumSizeHint());
        if (const QSize preferred = w->sizeHint(); preferred.isValid())
            size = size.expandedTo(preferred);
        w->setGeometry(QRect(QPoint(s.GetInt(WinPosPath(FClientID, "Left")), s.GetInt(WinPosPath(FClientID, "Top"))),
                             size));
    } catch (const std::exception& e) {
        qCWarning(lcCore) << "window position of client" << FClientID << "not restored:" << e.what();
    }
}

void TPLXForm::StoreGeometry()
{
    if (FClientID < 0 || FClientID >= kClientCount)
        return;
    TFSettingsForm& s = FContext.Settings();
    const QRect g = FrameWindow()->geometry();
    QString err;
    // Values outside the schema's limits are refused by the tree and the old ones kept.
    s.SetInt(WinPosPath(FClientID, "Top"), g.top(), err);
    s.SetInt(WinPosPath(FClientID, "Left"), g.left(), err);
    s.SetInt(WinPosPath(FClientID, "Width"), g.width(), err);
    s.SetInt(WinPosPath(FClientID, "Height"), g.height(), err);
}

bool TPLXForm::IsOpen() const
{
    return FClientID >= 0 && FClientID < kClientCount && FContext.Clients[static_cast<size_t>(FClientID)].isOpen;
}

void TPLXForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A minimised MDI window hides its inner widget and shows it again on restore; a top-level
    // window gets spontaneous events from the window system. Neither is a new showing.
    // A restore brings both kinds, the spontaneous one first.
    if (event->spontaneous())
        return;
    const bool restored = FHiddenByMinimise;
    FHiddenByMinimise = false;
    if (restored)
        return;
    const bool first = !FShownOnce;
    FShownOnce = true;
    const bool hasId = FClientID >= 0 && FClientID < kClientCount;
    if (hasId)
        FContext.Clients[static_cast<size_t>(FClientID)].isOpen = true;
    FormShow();
    // Only the first show places the window, after FormShow: it may show or hide controls that
    // the preferred size depends on.
    if (hasId && first)
        RestoreGeometry();
}

void TPLXForm::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous()) {
        QWidget* frame = FrameWindow();
        FHiddenByMinimise = frame != this && frame->isMinimized();
    }
}

void TPLXForm::closeEvent(QCloseEvent* event)
{
    if (!CloseQuery()) {
        event->ignore();
        return;
    }
    if (FClientID >= 0 && FClientID < kClientCount) {
        StoreGeometry();
        FContext.Clients[static_cast<size_t>(FClientID)].isOpen = false;
    }
    QWidget::closeEvent(event);
}
