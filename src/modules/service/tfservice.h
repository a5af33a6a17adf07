#pragma once
// "Serviceinformationen": test results, error memory and counters over TServiceLogic.

#include "fieldbinder.h"
#include "frtestergebnis.h"
#include "plxform.h"
#include "servicelogic.h"

#include <array>
#include <functional>
#include <vector>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTreeWidget;

class TfService : public TPLXForm {
    Q_OBJECT
public:
    using TQuestionBox = std::function<bool(QWidget* parent, const QString& question)>;

    explicit TfService(TAppContext& context, QWidget* parent = nullptr);
    ~TfService() override;

    void SetOnOffLine(int online) override;
    void TimerEvent(int interval) override;
    void RXData(int status, int tag, const QString& data) override;
    void SwitchLanguage() override;

    // Replaces the Yes/No box (tests run headless); empty restores the default.
    void SetQuestionBox(TQuestionBox box);

    TServiceLogic& Logic() { return FLogic; }

    QTabWidget* pcService = nullptr;
    QWidget* tsTesterg = nullptr;
    QWidget* tsErrMem = nullptr;
    QWidget* tsCounters = nullptr;
    std::array<TfrTestergebnis*, kServiceTests> frTestergebnis{};
    QTreeWidget* lvErrMem = nullptr;
    QTreeWidget* lvEC = nullptr;
    QPushButton* btnReadData = nullptr;
    QPushButton* btnErrMemRead = nullptr;
    QPushButton* btnClearErrMem = nullptr;
    QPushButton* btnErrMemExport = nullptr;
    QPushButton* btnReadCounters = nullptr;
    QPushButton* btnCountersExport = nullptr;
    std::array<QCheckBox*, 4> cbHardware{};
    QStatusBar* StatusBar = nullptr;

protected:
    void FormShow() override;

private:
    void BuildWidgets();
    void Retranslate();
    void ShowView();

    TServiceLogic FLogic;
    TFieldBinder FBinder;
    TQuestionBox FQuestionBox;
    std::vector<std::function<void()>> FTexts;
};
