#include "tftc.h"

#include "i18n.h"

#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QPushButton* button(const QString& name, QWidget* parent)
{
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    b->setMinimumWidth(130);
    return b;
}

QString runFileDialog(QWidget* parent, QFileDialog::AcceptMode mode, const QString& title, const QString& dir,
                      const QString& selected, const QString& filter, const QString& suffix)
{
    QFileDialog dialog(parent, title, dir, filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(suffix);
    if (!selected.isEmpty())
        dialog.selectFile(selected);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace

Tftc::Tftc(TAppContext& context, QWidget* parent)
    : TPLXForm(context, parent)
    , FLogic(context)
{
    setObjectName(QStringLiteral("ftc"));
    FClientID = ciTc;
    BuildWidgets();
    AttachStatusBar(StatusBar);
    FLogic.SetDialogs(DefaultDialogs());
    connect(&FLogic, &TTcLogic::Status, this, [this](const QString& text, bool alarm) { ShowStatus(text, alarm); });
    connect(&FLogic, &TTcLogic::LinesChanged, this, &Tftc::ShowLines);
    connect(&FLogic, &TTcLogic::ViewChanged, this, &Tftc::ShowView);
    Retranslate();
    ShowLines();
    ShowView();
}

Tftc::~Tftc() = default;

TTcDialogs Tftc::DefaultDialogs()
{
    TTcDialogs d;
    d.openFile = [this](const QString& title, const QString& dir, const QString& filter, const QString& suffix) {
        return runFileDialog(this, QFileDialog::AcceptOpen, title, dir, QString(), filter, suffix);
    };
    d.saveFile = [this](const QString& title, const QString& dir, const QString& proposed, const QString& filter,
                        const QString& suffix) {
        return runFileDialog(this, QFileDialog::AcceptSave, title, dir, proposed, filter, suffix);
    };
    d.errorBox = [this](const QString& text) { QMessageBox::critical(this, windowTitle(), text); };
    return d;
}

void Tftc::BuildWidgets()
{
    auto* top = new QVBoxLayout(this);
    auto* body = new QHBoxLayout;

    gbKonfig = new QGroupBox(this);
    gbKonfig->setObjectName(QStringLiteral("gbKonfig"));
    auto* textBox = new QVBoxLayout(gbKonfig);
    memKonfig = new QPlainTextEdit(gbKonfig);
    memKonfig->setObjectName(QStringLiteral("memKonfig"));
    memKonfig->setLineWrapMode(QPlainTextEdit::NoWrap);
    memKonfig->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    memKonfig->setMinimumSize(420, 300);
    textBox->addWidget(memKonfig);
    body->addWidget(gbKonfig, 1);

    auto* buttons = new QVBoxLayout;
    btnDateiLaden = button(QStringLiteral("btnDateiLaden"), this);
    btnKonfDateiLaden = button(QStringLiteral("btnKonfDateiLaden"), this);
    btnUebertragen = button(QStringLiteral("btnUebertragen"), this);
    btnAuslesen = button(QStringLiteral("btnAuslesen"), this);
    btnAbbrechen = button(QStringLiteral("btnAbbrechen"), this);
    btnSpeichern = button(QStringLiteral("btnSpeichern"), this);
    btnKonfDatSpeichern = button(QStringLiteral("btnKonfDatSpeichern"), this);
    btnLoeschen = button(QStringLiteral("btnLoeschen"), this);
    btnSchliessen = button(QStringLiteral("btnSchliessen"), this);
    for (QPushButton* b : {btnDateiLaden, btnKonfDateiLaden, btnUebertragen, btnAuslesen, btnAbbrechen, btnSpeichern,
                           btnKonfDatSpeichern, btnLoeschen})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(btnSchliessen);
    body->addLayout(buttons);
    top->addLayout(body, 1);

    auto* progress = new QHBoxLayout;
    panZeile = new QLabel(this);
    panZeile->setObjectName(QStringLiteral("panZeile"));
    panZeile->setFrameShape(QFrame::Panel);
    panZeile->setFrameShadow(QFrame::Sunken);
    panZeile->setMinimumWidth(110);
    panZeile->setAlignment(Qt::AlignCenter);
    pbFortschritt = new QProgressBar(this);
    pbFortschritt->setObjectName(QStringLiteral("pbFortschritt"));
    pbFortschritt->setTextVisible(false);
    progress->addWidget(panZeile);
    progress->addWidget(pbFortschritt, 1);
    top->addLayout(progress);

    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    top->addWidget(StatusBar);

    const bool service = Context().ServiceMode;
    btnKonfDateiLaden->setVisible(service);
    btnAuslesen->setVisible(service);
    btnKonfDatSpeichern->setVisible(service);

    // Only the user's typing reaches the logic; lines the logic sets are shown with signals blocked.
    connect(memKonfig, &QPlainTextEdit::textChanged, this, [this] { FLogic.SetText(memKonfig->toPlainText()); });
    connect(btnDateiLaden, &QPushButton::clicked, &FLogic, &TTcLogic::btnDateiLadenClick);
    connect(btnKonfDateiLaden, &QPushButton::clicked, &FLogic, &TTcLogic::btnKonfDateiLadenClick);
    connect(btnUebertragen, &QPushButton::clicked, &FLogic, &TTcLogic::btnUebertragenClick);
    connect(btnAuslesen, &QPushButton::clicked, &FLogic, &TTcLogic::btnAuslesenClick);
    connect(btnAbbrechen, &QPushButton::clicked, &FLogic, &TTcLogic::btnAbbrechenClick);
    connect(btnSpeichern, &QPushButton::clicked, &FLogic, &TTcLogic::btnSpeichernClick);
    connect(btnKonfDatSpeichern, &QPushButton::clicked, &FLogic, &TTcLogic::btnKonfDatSpeichernClick);
    connect(btnLoeschen, &QPushButton::clicked, &FLogic, &TTcLogic::btnLoeschenClick);
    connect(btnSchliessen, &QPushButton::clicked, this, [this] { FrameWindow()->close(); });
}

void Tftc::Retranslate()
{
    setWindowTitle(Tr("Konfiguration über Textdateien"));
    gbKonfig->setTitle(Tr("Konfigurationsdaten"));
    memKonfig->setAccessibleName(Tr("Konfigurationsdaten"));
    btnDateiLaden->setText(Tr("Datei laden"));
    btnKonfDateiLaden->setText(Tr("KonfDatei laden"));
    btnUebertragen->setText(Tr("Übertragen"));
    btnAuslesen->setText(Tr("Auslesen"));
    btnAbbrechen->setText(Tr("Abbrechen"));
    btnSpeichern->setText(Tr("Speichern"));
    btnKonfDatSpeichern->setText(Tr("KonfDatSpeichern"));
    btnLoeschen->setText(Tr("Löschen"));
    btnSchliessen->setText(Tr("&Schließen"));
}

void Tftc::ShowLines()
{
    const int scroll = memKonfig->verticalScrollBar()->value();
    const QSignalBlocker block(memKonfig);
    memKonfig->setPlainText(FLogic.Text());
    memKonfig->verticalScrollBar()->setValue(scroll);
}

void Tftc::ShowView()
{
    const TTcControls& c = FLogic.Controls();
    btnUebertragen->setEnabled(c.Uebertragen);
    btnAuslesen->setEnabled(c.Auslesen);
    btnAbbrechen->setEnabled(c.Abbrechen);
    for (QPushButton* b : {btnDateiLaden, btnKonfDateiLaden, btnSpeichern, btnKonfDatSpeichern, btnLoeschen})
        b->setEnabled(c.Edit);
    memKonfig->setReadOnly(!c.Edit);
    panZeile->setText(FLogic.CounterText());
    pbFortschritt->setMaximum(std::max(FLogic.ProgressMax(), 1));
    pbFortschritt->setValue(std::min(FLogic.ProgressValue(), pbFortschritt->maximum()));
}

void Tftc::SetOnOffLine(int online)
{
    FLogic.SetOnOffLine(online);
}

void Tftc::TimerEvent(int)
{
    FLogic.TimerEvent();
}

void Tftc::RXData(int status, int tag, const QString& data)
{
    FLogic.RXData(status, tag, data);
}

void Tftc::SwitchLanguage()
{
    TPLXForm::SwitchLanguage();
    Retranslate();
    ShowView();
}

void Tftc::showEvent(QShowEvent* event)
{
    TPLXForm::showEvent(event);
    const bool service = Context().ServiceMode;
    btnKonfDateiLaden->setVisible(service);
    btnAuslesen->setVisible(service);
    btnKonfDatSpeichern->setVisible(service);
}
