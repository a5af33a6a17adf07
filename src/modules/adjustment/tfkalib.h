#pragma once
// "Justagedaten": the technician's adjustment window over TKalibLogic. Its edit fields are bound
// to the logic's field model by object name; every user action goes to the logic.

#include "fieldbinder.h"
#include "kaliblogic.h"
#include "plxform.h"

#include <QHash>

#include <functional>
#include <optional>
#include <vector>

class QDateEdit;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;

class TfKalib : public TPLXForm {
    Q_OBJECT
public:
    using TSerialDialog = std::function<std::optional<QString>(QWidget* parent)>;

    explicit TfKalib(TAppContext& context, QWidget* parent = nullptr);
    ~TfKalib() override;

    void SetOnOffLine(int online) override;
    void TimerEvent(int interval) override;
    void RXData(int status, int tag, const QString& data) override;
    void SwitchLanguage() override;

    // Replaces the serial-number input dialog (tests run headless); empty restores the default.
    void SetSerialDialog(TSerialDialog dialog);

    TKalibLogic& Logic() { return FLogic; }
    QLineEdit* Field(const QString& name) const { return FFields.value(name); }
    QPushButton* Button(const QString& name) const;

    QTabWidget* pcKalib = nullptr;
    QWidget* tsAllg = nullptr;
    QWidget* tsFlow1 = nullptr;
    QWidget* tsFlow2 = nullptr;
    QWidget* tsSensoren = nullptr;
    QWidget* tsRegler = nullptr;
    QWidget* tsVentile = nullptr;
    QDateEdit* dtpLastWartungDatum = nullptr;
    QLabel* lblRTCCheck = nullptr;
    QPushButton* btnReadData = nullptr;
    QStatusBar* StatusBar = nullptr;

protected:
    void FormShow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWidgets();
    QWidget* BuildFlowPage(int channel);
    QWidget* BuildAllgPage();
    QWidget* BuildSensorPage();
    QWidget* BuildReglerPage();
    QWidget* BuildVentilPage();
    // A caption label and its field in a grid row; the caption is the field's accessible name.
    QLineEdit* AddField(QGridLayout* grid, int row, int column, const char* caption, const QString& name,
                        bool readOnly = false);
    QLineEdit* MakeField(QWidget* parent, const QString& name, bool readOnly = false);
    QLabel* MakeLabel(QWidget* parent, const char* text);
    QGroupBox* MakeGroup(QWidget* parent, const char* title);
    QPushButton* MakeButton(QWidget* parent, const QString& name, const char* text, std::function<void()> onClick,
                            bool onlineOnly);
    void Retranslate();
    void ShowView();
    void OnFocusField(const QString& name);

    TKalibLogic FLogic;
    TFieldBinder FBinder;
    TSerialDialog FSerialDialog;
    QHash<QString, QLineEdit*> FFields;
    std::vector<QPushButton*> FOnlineButtons;
    // Each translated text knows how to set itself again.
    std::vector<std::function<void()>> FTexts;
};
