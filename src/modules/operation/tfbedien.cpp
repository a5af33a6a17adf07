#include "tfbedien.h"

#include "formatsettings.h"
#include "i18n.h"
#include "sarvikchart.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStatusBar>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kDefaultMaxStartS = 60;
constexpr int kDefaultWaitS = 10;

bool defaultQuestionBox(QWidget* parent, const QString& question)
{
    return QMessageBox::question(parent, Tr("Fernsteuerung"), question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
           == QMessageBox::Yes;
}

QLabel* valueLabel(const QString& name, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setMinimumWidth(90);
    return l;
}

// A small framed flag that stands for the preset's interval or flow-monitor setting.
QLabel* indicator(const QString& name, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setFrameShape(QFrame::Box);
    l->setAlignment(Qt::AlignCenter);
    l->setStyleSheet(QStringLiteral("QLabel { background: #2060c0; color: white; padding: 1px 4px; }"));
    l->hide();
    return l;
}

int seconds(const QTimeEdit* edit)
{
    return QTime(0, 0).secsTo(edit->time());
}

bool isFunctionKey(const QKeyEvent* e)
{
    return (e->key() == Qt::Key_F4 || e->key() == Qt::Key_F5) && e->modifiers() == Qt::NoModifier;
}

}  // namespace

TfBedien::TfBedien(TAppContext& context, QWidget* parent)
    : TPLXForm(context, parent)
    , FLogic(context)
    , FQuestionBox(defaultQuestionBox)
{
    setObjectName(QStringLiteral("fBedien"));
    FClientID = ciBedien;
    BuildWidgets();
    AttachStatusBar(StatusBar);
    FLogic.SetQuestion([this](const QString& q) { return FQuestionBox && FQuestionBox(this, q); });
    connect(&FLogic, &TBedienLogic::Status, this, [this](const QString& text, bool alarm) { ShowStatus(text, alarm); });
    connect(&FLogic, &TBedienLogic::ViewChanged, this, &TfBedien::ShowView);
    connect(&FLogic, &TBedienLogic::PresetListChanged, this, &TfBedien::ShowPresetList);
    connect(&FLogic, &TBedienLogic::RunChartChanged, this, &TfBedien::ShowRunChart);
    Retranslate();
    PushTestRunInput();
    ShowView();
    ShowRunChart();
}

TfBedien::~TfBedien() = default;

void TfBedien::BuildWidgets()
{
    auto* top = new QVBoxLayout(this);

    gbPreset = new QGroupBox(this);
    auto* presetGrid = new QGridLayout(gbPreset);
    cbPreset = new QComboBox(gbPreset);
    cbPreset->setObjectName(QStringLiteral("cbPreset"));
    cbPreset->setMinimumWidth(220);
    btnAktPresets = new QPushButton(gbPreset);
    btnAktPresets->setObjectName(QStringLiteral("btnAktPresets"));
    btnAktPresets->setEnabled(false);
    presetGrid->addWidget(cbPreset, 0, 0, 1, 2);
    presetGrid->addWidget(btnAktPresets, 0, 2);
    for (size_t r = 0; r < FPresetRowCaption.size(); ++r) {
        FPresetRowCaption[r] = new QLabel(gbPreset);
        presetGrid->addWidget(FPresetRowCaption[r], static_cast<int>(r) + 2, 0);
    }
    for (int c = 0; c < 2; ++c) {
        const size_t i = static_cast<size_t>(c);
        const QString n = QString::number(c);
        FPresetChannelCaption[i] = new QLabel(gbPreset);
        lblPresVol[i] = valueLabel(QStringLiteral("lblPresVol") + n, gbPreset);
        lblPresFlow[i] = valueLabel(QStringLiteral("lblPresFlow") + n, gbPreset);
        lblPresDauer[i] = valueLabel(QStringLiteral("lblPresDauer") + n, gbPreset);
        lblPresVerz[i] = valueLabel(QStringLiteral("lblPresVerz") + n, gbPreset);
        lblPresLogInterv[i] = valueLabel(QStringLiteral("lblPresLogInterv") + n, gbPreset);
        imgIntervalMode[i] = indicator(QStringLiteral("imgIntervalMode") + n, gbPreset);
        imgFlowMonitor[i] = indicator(QStringLiteral("imgFlowMonitor") + n, gbPreset);
        const int col = c + 1;
        presetGrid->addWidget(FPresetChannelCaption[i], 1, col);
        presetGrid->addWidget(lblPresVol[i], 2, col);
        presetGrid->addWidget(lblPresFlow[i], 3, col);
        presetGrid->addWidget(lblPresDauer[i], 4, col);
        presetGrid->addWidget(lblPresVerz[i], 5, col);
        presetGrid->addWidget(lblPresLogInterv[i], 6, col);
        auto* pictures = new QHBoxLayout;
        pictures->addWidget(imgIntervalMode[i]);
        pictures->addWidget(imgFlowMonitor[i]);
        pictures->addStretch();
        presetGrid->addLayout(pictures, 7, col);
    }
    top->addWidget(gbPreset);

    gbRun = new QGroupBox(this);
    auto* runGrid = new QGridLayout(gbRun);
    for (size_t r = 0; r < FRunRowCaption.size(); ++r) {
        FRunRowCaption[r] = new QLabel(gbRun);
        runGrid->addWidget(FRunRowCaption[r], static_cast<int>(r) + 1, 0);
    }
    for (int c = 0; c < 2; ++c) {
        const size_t i = static_cast<size_t>(c);
        const QString n = QString::number(c);
        FRunChannelCaption[i] = new QLabel(gbRun);
        lblSampStatus[i] = valueLabel(QStringLiteral("lblSampStatus") + n, gbRun);
        lblSampVol[i] = valueLabel(QStringLiteral("lblSampVol") + n, gbRun);
        lblSampFlow[i] = valueLabel(QStringLiteral("lblSampFlow") + n, gbRun);
        runGrid->addWidget(FRunChannelCaption[i], 0, c + 1);
        runGrid->addWidget(lblSampStatus[i], 1, c + 1);
        runGrid->addWidget(lblSampVol[i], 2, c + 1);
        runGrid->addWidget(lblSampFlow[i], 3, c + 1);
    }
    cbDiagramm = new QCheckBox(gbRun);
    cbDiagramm->setObjectName(QStringLiteral("cbDiagramm"));
    cbDiagramm->setChecked(FLogic.ChartVisible());
    runGrid->addWidget(cbDiagramm, 4, 0, 1, 3);
    chtFluss = new TSarvikChart(gbRun);
    chtFluss->setObjectName(QStringLiteral("chtFluss"));
    chtFluss->setMinimumSize(480, 220);
    chtFluss->setVisible(FLogic.ChartVisible());
    runGrid->addWidget(chtFluss, 5, 0, 1, 3);
    runGrid->setRowStretch(5, 1);
    top->addWidget(gbRun, 1);

    // F4 and F5 are this window's while it has the focus (F4 also opens it from the main window).
    actStart = new QAction(this);
    actStart->setObjectName(QStringLiteral("actStart"));
    actStart->setShortcut(QKeySequence(Qt::Key_F4));
    actStart->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    actStop = new QAction(this);
    actStop->setObjectName(QStringLiteral("actStop"));
    actStop->setShortcut(QKeySequence(Qt::Key_F5));
    actStop->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    actAusschalten = new QAction(this);
    actAusschalten->setObjectName(QStringLiteral("actAusschalten"));
    auto* buttons = new QHBoxLayout;
    const std::array<QAction*, 3> actions{actStart, actStop, actAusschalten};
    for (size_t i = 0; i < actions.size(); ++i) {
        actions[i]->setEnabled(false);
        FActionButtons[i] = new QToolButton(this);
        FActionButtons[i]->setDefaultAction(actions[i]);
        FActionButtons[i]->setToolButtonStyle(Qt::ToolButtonTextOnly);
        FActionButtons[i]->setMinimumWidth(90);
        buttons->addWidget(FActionButtons[i]);
    }
    buttons->addStretch();
    top->addLayout(buttons);

    gbTestlauf = new QGroupBox(this);
    gbTestlauf->setObjectName(QStringLiteral("gbTestlauf"));
    auto* testGrid = new QGridLayout(gbTestlauf);
    const auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d*")), this);
    eAnzStarts = new QLineEdit(gbTestlauf);
    eAnzStarts->setObjectName(QStringLiteral("eAnzStarts"));
    eAnzStarts->setValidator(digits);
    eAktNr = new QLineEdit(gbTestlauf);
    eAktNr->setObjectName(QStringLiteral("eAktNr"));
    eAktNr->setReadOnly(true);
    cbDatenSpeichern = new QCheckBox(gbTestlauf);
    cbDatenSpeichern->setObjectName(QStringLiteral("cbDatenSpeichern"));
    eDatenIntervall = new QLineEdit(gbTestlauf);
    eDatenIntervall->setObjectName(QStringLiteral("eDatenIntervall"));
    eDatenIntervall->setValidator(digits);
    eDatenIntervall->setText(FLogic.TestRunInput().DatenIntervall);
    eLogdat = new QLineEdit(gbTestlauf);
    eLogdat->setObjectName(QStringLiteral("eLogdat"));
    dtpMaxStartZeit = new QTimeEdit(QTime(0, 0).addSecs(kDefaultMaxStartS), gbTestlauf);
    dtpMaxStartZeit->setObjectName(QStringLiteral("dtpMaxStartZeit"));
    dtpMaxStartZeit->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    dtpWartezeit = new QTimeEdit(QTime(0, 0).addSecs(kDefaultWaitS), gbTestlauf);
    dtpWartezeit->setObjectName(QStringLiteral("dtpWartezeit"));
    dtpWartezeit->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    const std::array<QWidget*, 6> fields{eAnzStarts, eAktNr, eDatenIntervall, eLogdat, dtpMaxStartZeit, dtpWartezeit};
    for (size_t i = 0; i < fields.size(); ++i) {
        FTestCaption[i] = new QLabel(gbTestlauf);
        FTestCaption[i]->setBuddy(fields[i]);
        testGrid->addWidget(FTestCaption[i], static_cast<int>(i), 0);
        testGrid->addWidget(fields[i], static_cast<int>(i), 1);
    }
    testGrid->addWidget(cbDatenSpeichern, static_cast<int>(fields.size()), 1);
    btnTeststart = new QPushButton(gbTestlauf);
    btnTeststart->setObjectName(QStringLiteral("btnTeststart"));
    btnPause = new QPushButton(gbTestlauf);
    btnPause->setObjectName(QStringLiteral("btnPause"));
    btnAbbruch = new QPushButton(gbTestlauf);
    btnAbbruch->setObjectName(QStringLiteral("btnAbbruch"));
    auto* testButtons = new QHBoxLayout;
    testButtons->addWidget(btnTeststart);
    testButtons->addWidget(btnPause);
    testButtons->addWidget(btnAbbruch);
    testGrid->addLayout(testButtons, static_cast<int>(fields.size()) + 1, 0, 1, 2);
    panTestStatus = new QLabel(gbTestlauf);
    panTestStatus->setObjectName(QStringLiteral("panTestStatus"));
    panTestStatus->setAlignment(Qt::AlignCenter);
    panTestStatus->setAutoFillBackground(true);
    panTestStatus->setMinimumHeight(24);
    testGrid->addWidget(panTestStatus, static_cast<int>(fields.size()) + 2, 0, 1, 2);
    gbTestlauf->setVisible(false);
    top->addWidget(gbTestlauf);

    top->addStretch();
    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    top->addWidget(StatusBar);

    connect(btnAktPresets, &QPushButton::clicked, &FLogic, &TBedienLogic::btnAktPresetsClick);
    connect(cbPreset, &QComboBox::activated, &FLogic, &TBedienLogic::cbPresetSelect);
    connect(actStart, &QAction::triggered, &FLogic, &TBedienLogic::actStartExecute);
    connect(actStop, &QAction::triggered, &FLogic, &TBedienLogic::actStopExecute);
    connect(actAusschalten, &QAction::triggered, &FLogic, &TBedienLogic::actAusschaltenExecute);
    connect(btnTeststart, &QPushButton::clicked, this, [this] {
        PushTestRunInput();
        FLogic.btnTeststartClick();
    });
    connect(btnPause, &QPushButton::clicked, &FLogic, &TBedienLogic::btnPauseClick);
    connect(cbDiagramm, &QCheckBox::toggled, this, [this](bool on) {
        FLogic.SetChartVisible(on);
        chtFluss->setVisible(on);
        if (on)
            ShowRunChart();
    });
    connect(btnAbbruch, &QPushButton::clicked, &FLogic, &TBedienLogic::btnAbbruchClick);
    connect(eDatenIntervall, &QLineEdit::editingFinished, this,
            [this] { eDatenIntervall->setText(FLogic.eDatenIntervallExit(eDatenIntervall->text())); });
    for (QLineEdit* e : {eAnzStarts, eDatenIntervall, eLogdat})
        connect(e, &QLineEdit::textChanged, this, &TfBedien::PushTestRunInput);
    connect(cbDatenSpeichern, &QCheckBox::toggled, this, &TfBedien::PushTestRunInput);
    connect(dtpMaxStartZeit, &QTimeEdit::timeChanged, this, &TfBedien::PushTestRunInput);
    connect(dtpWartezeit, &QTimeEdit::timeChanged, this, &TfBedien::PushTestRunInput);

    eLogdat->installEventFilter(this);
    for (QWidget* w : std::initializer_list<QWidget*>{cbPreset, eAnzStarts, eDatenIntervall, cbDatenSpeichern,
                                                      dtpMaxStartZeit, dtpWartezeit})
        w->installEventFilter(this);
}

void TfBedien::Retranslate()
{
    setWindowTitle(Tr("Fernsteuerung"));
    gbPreset->setTitle(Tr("Voreinstellung"));
    cbPreset->setPlaceholderText(Tr("--- Programm wählen ---"));
    btnAktPresets->setText(Tr("Aktualisieren"));
    btnAktPresets->setToolTip(Tr("Voreinstellungen vom Gerät lesen"));
    const std::array<const char*, 5> presetRows{TrNoop("Volumen"), TrNoop("Fluss"), TrNoop("Dauer"),
                                                TrNoop("Startverzögerung"), TrNoop("Log-Intervall")};
    for (size_t r = 0; r < presetRows.size(); ++r)
        FPresetRowCaption[r]->setText(Tr(presetRows[r]));
    gbRun->setTitle(Tr("Probenahme"));
    const std::array<const char*, 3> runRows{TrNoop("Status"), TrNoop("Volumen"), TrNoop("Fluss")};
    for (size_t r = 0; r < runRows.size(); ++r)
        FRunRowCaption[r]->setText(Tr(runRows[r]));
    for (int c = 0; c < 2; ++c) {
        const size_t i = static_cast<size_t>(c);
        const QString caption = FmtDisplay().Format(Tr("Kanal %d"), {c + 1});
        FPresetChannelCaption[i]->setText(caption);
        FRunChannelCaption[i]->setText(caption);
        imgIntervalMode[i]->setText(Tr("Intervall"));
        imgIntervalMode[i]->setToolTip(Tr("Intervallbetrieb"));
        imgFlowMonitor[i]->setText(Tr("Fluss"));
        imgFlowMonitor[i]->setToolTip(Tr("Flussüberwachung"));
    }
    actStart->setText(Tr("Start"));
    actStart->setToolTip(Tr("Probenahme starten") + QStringLiteral(" (F4)"));
    actStop->setText(Tr("Stop"));
    actStop->setToolTip(Tr("Probenahme beenden") + QStringLiteral(" (F5)"));
    actAusschalten->setText(Tr("Ausschalten"));
    gbTestlauf->setTitle(Tr("Testlauf"));
    const std::array<const char*, 6> testRows{TrNoop("Vorwahl Testläufe"),  TrNoop("aktuelle Testlauf Nr."),
                                              TrNoop("Datenintervall [s]"), TrNoop("Logdateiname"),
                                              TrNoop("Wartezeit bis Motor läuft"), TrNoop("Wartezeit nach Probenahme")};
    for (size_t r = 0; r < testRows.size(); ++r)
        FTestCaption[r]->setText(Tr(testRows[r]));
    cbDatenSpeichern->setText(Tr("Daten speichern"));
    btnTeststart->setText(Tr("Start"));
    btnPause->setText(Tr("Pause"));
    btnAbbruch->setText(Tr("Abbruch"));
    cbDiagramm->setText(Tr("Diagramm anzeigen"));
    chtFluss->setAccessibleName(Tr("Flussverlauf"));
}

void TfBedien::ShowRunChart()
{
    // A hidden chart is not kept up to date; it catches up when shown.
    if (chtFluss->isVisibleTo(this))
        chtFluss->SetData(FLogic.RunChart());
}

void TfBedien::SetQuestionBox(TQuestionBox box)
{
    FQuestionBox = box ? std::move(box) : TQuestionBox(defaultQuestionBox);
}

void TfBedien::PushTestRunInput()
{
    TTestRunInput input;
    input.AnzStarts = eAnzStarts->text();
    input.DatenSpeichern = cbDatenSpeichern->isChecked();
    input.DatenIntervall = eDatenIntervall->text();
    input.Logdat = eLogdat->text();
    input.MaxStartS = seconds(dtpMaxStartZeit);
    input.WartezeitS = seconds(dtpWartezeit);
    FLogic.SetTestRunInput(input);
}

void TfBedien::ShowPresetList()
{
    const QSignalBlocker block(cbPreset);
    cbPreset->clear();
    cbPreset->addItems(FLogic.PresetEntries());
    cbPreset->setCurrentIndex(FLogic.SelectedIndex());
}

void TfBedien::ShowView()
{
    for (size_t c = 0; c < 2; ++c) {
        const TPresetChannelView& p = FLogic.PresetView()[c];
        lblPresVol[c]->setText(p.Volume);
        lblPresFlow[c]->setText(p.Flow);
        lblPresDauer[c]->setText(p.Duration);
        lblPresVerz[c]->setText(p.Delay);
        lblPresLogInterv[c]->setText(p.LogInterval);
        imgIntervalMode[c]->setVisible(p.IntervalMode);
        imgFlowMonitor[c]->setVisible(p.FlowMonitor);
        const TChannelView& r = FLogic.Channels()[c];
        lblSampStatus[c]->setText(r.Status);
        lblSampVol[c]->setText(r.Volume);
        lblSampFlow[c]->setText(r.Flow);
    }
    const TBedienControls& ctl = FLogic.Controls();
    btnAktPresets->setEnabled(ctl.RefreshEnabled);
    actStart->setEnabled(ctl.ActionsEnabled);
    actStop->setEnabled(ctl.ActionsEnabled);
    actAusschalten->setEnabled(ctl.ActionsEnabled);
    btnTeststart->setEnabled(ctl.TestStartEnabled);
    btnPause->setEnabled(ctl.TestPauseEnabled);
    btnAbbruch->setEnabled(ctl.TestAbortEnabled);
    eAktNr->setText(QString::number(FLogic.TestCycle()));
    if (eLogdat->text() != FLogic.TestRunInput().Logdat)
        eLogdat->setText(FLogic.TestRunInput().Logdat);
    panTestStatus->setText(FLogic.TestPanelText());
    QPalette pal = panTestStatus->palette();
    const QColor back = FLogic.TestPanelColour();
    pal.setColor(QPalette::Window, back.isValid() ? back : palette().color(QPalette::Window));
    pal.setColor(QPalette::WindowText, back == kTestYellow || !back.isValid() ? palette().color(QPalette::WindowText)
                                                                             : QColor(Qt::white));
    panTestStatus->setPalette(pal);
}

void TfBedien::SetOnOffLine(int online)
{
    FLogic.SetOnOffLine(online);
}

void TfBedien::TimerEvent(int interval)
{
    FLogic.TimerEvent(interval, IsOpen());
}

void TfBedien::RXData(int status, int tag, const QString& data)
{
    FLogic.RXData(status, tag, data);
}

void TfBedien::SwitchLanguage()
{
    TPLXForm::SwitchLanguage();
    Retranslate();
    FLogic.SwitchLanguage();
}

void TfBedien::FormShow()
{
    gbTestlauf->setVisible(FLogic.TestGroupVisible());
    FLogic.FormShow();
}

bool TfBedien::event(QEvent* event)
{
    // The main window's F4 opens this window; inside it, F4 and F5 start and stop.
    if (event->type() == QEvent::ShortcutOverride && isFunctionKey(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return TPLXForm::event(event);
}

void TfBedien::keyPressEvent(QKeyEvent* event)
{
    if (isFunctionKey(event)) {
        QAction* action = event->key() == Qt::Key_F4 ? actStart : actStop;
        if (action->isEnabled())
            action->trigger();
        event->accept();
        return;
    }
    TPLXForm::keyPressEvent(event);
}

bool TfBedien::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return TPLXForm::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    // Before the fields see them: the drop-down list would open on F4.
    if (isFunctionKey(key)) {
        keyPressEvent(key);
        return true;
    }
    if (watched == eLogdat && !key->text().isEmpty()) {
        for (QChar c : key->text()) {
            if (!FLogic.FileCharOnly(c))
                return true;
        }
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        ShowStatusInfo(QString());
        focusNextChild();
        return true;
    }
    return TPLXForm::eventFilter(watched, event);
}
