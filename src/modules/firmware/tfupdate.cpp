#include "tfupdate.h"

#include "i18n.h"
#include "settingsform.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

const QString kFirmwarePath = QStringLiteral("Paths/Firmware");
constexpr int kRunTickMs = 50;  // own ticks of a run before the bootloader is open

qint64 steadyMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

QString defaultFileDialog(QWidget* parent, const QString& title, const QString& dir, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, dir, filter);
}

QColor colourOf(TLogColour colour)
{
    switch (colour) {
    case TLogColour::Red: return QColor(255, 0, 0);
    case TLogColour::Green: return QColor(0, 128, 0);
    case TLogColour::Blue: return QColor(0, 0, 255);
    }
    return QColor();
}

}  // namespace

TfUpdate::TfUpdate(TAppContext& context, TUpdateEnv env, std::function<void(std::function<void()>)> blockComplete,
                   QWidget* parent)
    : TPLXForm(context, parent)
    , FMachine(withWindow(std::move(env)))
    , FBlockComplete(std::move(blockComplete))
    , FFileDialog(defaultFileDialog)
    , FClock(steadyMs)
{
    setObjectName(QStringLiteral("fUpdate"));
    FClientID = ciUpdate;
    BuildWidgets();
    AttachStatusBar(StatusBar);
    FFastTimer.setTimerType(Qt::PreciseTimer);
    FFastTimer.setInterval(1);
    connect(&FFastTimer, &QTimer::timeout, this, &TfUpdate::Step);
    if (FBlockComplete) {
        // The answer is taken at once instead of at the next timer tick; queued, since the
        // serial layer is still in its receive handler.
        FBlockComplete([this] {
            if (FStepQueued || !FMachine.View().FastTimer)
                return;
            FStepQueued = true;
            QMetaObject::invokeMethod(this, [this] {
                FStepQueued = false;
                Step();
            }, Qt::QueuedConnection);
        });
    }
    SwitchLanguage();
    ShowView();
}

TfUpdate::~TfUpdate()
{
    if (FBlockComplete)
        FBlockComplete({});
    if (FBusyShown)
        QApplication::restoreOverrideCursor();
}

TUpdateEnv TfUpdate::withWindow(TUpdateEnv env)
{
    env.log = [this](const QString& text, TLogColour colour) { AddLogLine(text, colour); };
    env.viewChanged = [this] { ShowView(); };
    return env;
}

void TfUpdate::SetClock(TClock clock)
{
    FClock = clock ? std::move(clock) : TClock(steadyMs);
}

void TfUpdate::BuildWidgets()
{
    auto* layout = new QVBoxLayout(this);
    auto* fileRow = new QHBoxLayout;
    lblFile = new QLabel(this);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    eFileName = new QLineEdit(this);
    eFileName->setObjectName(QStringLiteral("eFileName"));
    eFileName->setReadOnly(true);
    eFileName->setMinimumWidth(320);
    lblFile->setBuddy(eFileName);
    btnSelectFile = new QPushButton(QStringLiteral("..."), this);
    btnSelectFile->setObjectName(QStringLiteral("btnSelectFile"));
    fileRow->addWidget(lblFile);
    fileRow->addWidget(eFileName, 1);
    fileRow->addWidget(btnSelectFile);
    layout->addLayout(fileRow);

    reLog = new QTextEdit(this);
    reLog->setObjectName(QStringLiteral("reLog"));
    reLog->setReadOnly(true);
    reLog->setMinimumHeight(200);
    layout->addWidget(reLog, 1);

    pbProgress = new QProgressBar(this);
    pbProgress->setObjectName(QStringLiteral("pbProgress"));
    pbProgress->setRange(0, 100);
    layout->addWidget(pbProgress);

    auto* buttons = new QHBoxLayout;
    btnStart = new QPushButton(this);
    btnStart->setObjectName(QStringLiteral("btnStart"));
    btnCancel = new QPushButton(this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnClose = new QPushButton(this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    buttons->addWidget(btnStart);
    buttons->addWidget(btnCancel);
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    layout->addLayout(buttons);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    layout->addWidget(StatusBar);

    connect(btnSelectFile, &QPushButton::clicked, this, &TfUpdate::btnSelectFileClick);
    connect(btnStart, &QPushButton::clicked, this, &TfUpdate::btnStartClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfUpdate::btnCancelClick);
    connect(btnClose, &QPushButton::clicked, this, &TfUpdate::btnCloseClick);
}

void TfUpdate::SwitchLanguage()
{
    setWindowTitle(Tr("Firmwareaktualisierung"));
    lblFile->setText(Tr("Firmwaredatei:"));
    eFileName->setAccessibleName(Tr("Firmwaredatei:"));
    btnSelectFile->setAccessibleName(Tr("Firmwaredatei auswählen"));
    btnStart->setText(Tr("Aktualisierung starten"));
    btnCancel->setText(Tr("Abbrechen"));
    btnClose->setText(Tr("&Schließen"));
}

void TfUpdate::showEvent(QShowEvent* event)
{
    TPLXForm::showEvent(event);
    // FormShow: the file chosen last time.
    if (!FMachine.Running()) {
        const QString name = Context().Settings().GetStr(kFirmwarePath);
        eFileName->setText(name);
        FMachine.SetFileName(name);
    }
}

void TfUpdate::ShowView()
{
    const TUpdateView& v = FMachine.View();
    // Start only from idle, whatever the online state says.
    btnStart->setEnabled(v.StartEnabled && !FMachine.Running());
    btnClose->setEnabled(v.CloseEnabled);
    btnSelectFile->setEnabled(!FMachine.Running());
    btnCancel->setVisible(v.CancelVisible);
    pbProgress->setVisible(v.ProgressVisible);
    pbProgress->setValue(v.Progress);
    if (v.Busy != FBusyShown) {
        FBusyShown = v.Busy;
        if (v.Busy)
            QApplication::setOverrideCursor(Qt::BusyCursor);
        else
            QApplication::restoreOverrideCursor();
    }
    // The run keeps its own pace even when the main window's ticks do not come (a hidden
    // window gets none); from the bootloader on every millisecond.
    if (!FMachine.Running()) {
        FFastTimer.stop();
    } else {
        const int interval = v.FastTimer ? 1 : kRunTickMs;
        if (!FFastTimer.isActive() || FFastTimer.interval() != interval)
            FFastTimer.start(interval);
    }
}

void TfUpdate::Step()
{
    FMachine.tick(FClock());
    // Idle again (or a file refused): the buttons follow the state, not only view changes.
    ShowView();
}

void TfUpdate::AddLogLine(const QString& text, TLogColour colour)
{
    QTextCharFormat format;
    format.setForeground(colourOf(colour));
    QTextCursor cursor(reLog->document());
    cursor.movePosition(QTextCursor::End);
    if (!reLog->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(text, format);
    reLog->verticalScrollBar()->setValue(reLog->verticalScrollBar()->maximum());
}

void TfUpdate::SetOnOffLine(int)
{
    // The update works without the normal link as well; the start button follows the
    // procedure's state only.
    ShowView();
}

void TfUpdate::TimerEvent(int)
{
    Step();
}

void TfUpdate::RXData(int status, int tag, const QString& data)
{
    FMachine.RXData(status, tag, data);
}

bool TfUpdate::CloseQuery()
{
    if (!FMachine.Running())
        return true;
    // Closing now would cut the transfer off and leave the device without firmware.
    ShowStatus(Tr("Die Firmwareaktualisierung läuft noch. Bitte warten oder abbrechen."), true);
    AddLogLine(Tr("Die Firmwareaktualisierung läuft noch. Bitte warten oder abbrechen."), TLogColour::Red);
    return false;
}

void TfUpdate::btnSelectFileClick()
{
    if (FMachine.Running())
        return;
    const QString current = eFileName->text();
    QString start = QCoreApplication::applicationDirPath();
    if (current.size() >= 3 && QFileInfo(current).absoluteDir().exists())
        start = current;
    const QString chosen = FFileDialog ? FFileDialog(this, Tr("Firmwaredatei auswählen"), start,
                                                     Tr("HEX-Dateien") + QStringLiteral(" (*.hex *.HEX)"))
                                       : QString();
    if (chosen.isEmpty())
        return;
    eFileName->setText(chosen);
    FMachine.SetFileName(chosen);
    QString err;
    Context().Settings().SetStr(kFirmwarePath, chosen, err);
}

void TfUpdate::btnStartClick()
{
    // A click that slipped through while a run goes on is ignored.
    if (FMachine.Running())
        return;
    FMachine.SetBootloaderIds(Context().Settings().GetInt(QStringLiteral("Connection/Bootloader/USB_VID")),
                              Context().Settings().GetInt(QStringLiteral("Connection/Bootloader/USB_PID")));
    FMachine.SetFileName(eFileName->text());
    if (FMachine.Start())
        Step();
}

void TfUpdate::btnCancelClick()
{
    FMachine.Cancel();
}

void TfUpdate::btnCloseClick()
{
    FrameWindow()->close();
}
