#include "plxform.h"

#include "settingsform.h"

#include <QCloseEvent>
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
    if (FStatusPanel)
        FStatusPanel->update();
}

void TPLXForm::SetOnOffLine(int) {}
void TPLXForm::TimerEvent(int) {}
void TPLXForm::RXData(int, int, const QString&) {}
void TPLXForm::SwitchLanguage() {}

void TPLXForm::AttachStatusBar(QStatusBar* bar)
{
    FStatusBar = bar;
    if (!bar)
        return;
    FStatusPanel = new TStatusPanel(this, bar);
    bar->addWidget(FStatusPanel, 1);
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
        // The schema's defaults (200 x 100) are smaller than any module window; a size the
        // window cannot be used at gives way to its preferred size.
        const QSize least = w->minimumSizeHint();
        const QSize preferred = w->sizeHint();
        if (size.width() < least.width())
            size.setWidth(std::max(least.width(), preferred.width()));
        if (size.height() < least.height())
            size.setHeight(std::max(least.height(), preferred.height()));
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

void TPLXForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Only the first show places the window; a restore from minimised keeps where it was.
    if (FShownOnce || FClientID < 0 || FClientID >= kClientCount)
        return;
    FShownOnce = true;
    RestoreGeometry();
    FContext.Clients[static_cast<size_t>(FClientID)].isOpen = true;
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
