#pragma once
// The channel editor of the preset page, placed twice ("Kanal 1", "Kanal 2"): a thin frame over
// TPresetChannelLogic. Leaving a field runs its check; a refused field asks the owner to give it
// the focus back.

#include "presetchannel.h"

#include <QColor>
#include <QGroupBox>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class TfrPresetChannel : public QGroupBox {
    Q_OBJECT
public:
    TfrPresetChannel(TPresetChannelLogic& logic, int channel, const QColor& background, QWidget* parent = nullptr);

    void LoadData(const TSampleSet& set) { FLogic.LoadData(set); }
    void ClearData() { FLogic.ClearData(); }
    const TSampleSet& FSampleSet() const { return FLogic.SampleSet(); }
    TPresetChannelLogic& Logic() { return FLogic; }
    QColor Background() const { return FBackground; }

    void Retranslate();
    // Runs the check of a field as leaving it does; false when refused.
    bool CheckField(QLineEdit* field);
    // The four text fields, checked on leaving.
    std::array<QLineEdit*, 4> Fields() const { return {eVol, eFlow, eTime, eDelay}; }

    QCheckBox* cbActive = nullptr;
    QLineEdit* eVol = nullptr;
    QLineEdit* eFlow = nullptr;
    QLineEdit* eTime = nullptr;
    QLineEdit* eDelay = nullptr;
    QCheckBox* cbIntervalMode = nullptr;
    QCheckBox* cbFlowMonitor = nullptr;
    QRadioButton* rbVolTypeNL = nullptr;
    QRadioButton* rbVolTypeSL = nullptr;
    QRadioButton* rbVolTypeL = nullptr;
    QLabel* lblVolUnit = nullptr;
    QLabel* lblFlowUnit = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowView();

    TPresetChannelLogic& FLogic;
    int FChannel;
    QColor FBackground;
    QLabel* FVolCaption = nullptr;
    QLabel* FFlowCaption = nullptr;
    QLabel* FTimeCaption = nullptr;
    QLabel* FDelayCaption = nullptr;
    QLabel* FVolTypeCaption = nullptr;
};
