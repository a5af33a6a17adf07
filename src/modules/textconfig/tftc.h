#pragma once
// "Konfiguration über Textdateien": the technician's window over TTcLogic. It shows the lines,
// the counter and the progress of a transfer and hands every user action to the logic.

#include "plxform.h"
#include "tclogic.h"

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;

class Tftc : public TPLXForm {
    Q_OBJECT
public:
    explicit Tftc(TAppContext& context, QWidget* parent = nullptr);
    ~Tftc() override;

    void SetOnOffLine(int online) override;
    void TimerEvent(int interval) override;
    void RXData(int status, int tag, const QString& data) override;
    void SwitchLanguage() override;

    // Replaces the file dialogs and the message box (tests run headless).
    void SetDialogs(TTcDialogs dialogs) { FLogic.SetDialogs(std::move(dialogs)); }
    TTcDialogs DefaultDialogs();

    TTcLogic& Logic() { return FLogic; }

    QGroupBox* gbKonfig = nullptr;
    QPlainTextEdit* memKonfig = nullptr;
    QPushButton* btnDateiLaden = nullptr;
    QPushButton* btnKonfDateiLaden = nullptr;
    QPushButton* btnUebertragen = nullptr;
    QPushButton* btnAuslesen = nullptr;
    QPushButton* btnAbbrechen = nullptr;
    QPushButton* btnSpeichern = nullptr;
    QPushButton* btnKonfDatSpeichern = nullptr;
    QPushButton* btnLoeschen = nullptr;
    QPushButton* btnSchliessen = nullptr;
    QLabel* panZeile = nullptr;
    QProgressBar* pbFortschritt = nullptr;
    QStatusBar* StatusBar = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildWidgets();
    void Retranslate();
    void ShowLines();
    void ShowView();

    TTcLogic FLogic;
};
