#pragma once
// "Speichermonitor": the service window over TMemLogic. Inputs, buttons and the request list;
// nothing here talks to the device.

#include "memlogic.h"
#include "plxform.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTreeWidget;
class QTreeWidgetItem;

class TfMem : public TPLXForm {
    Q_OBJECT
public:
    explicit TfMem(TAppContext& context, QWidget* parent = nullptr);
    ~TfMem() override;

    void SetOnOffLine(int online) override;
    void RXData(int status, int tag, const QString& data) override;
    void SwitchLanguage() override;

    // Replaces the message box (tests run headless); empty restores the default.
    void SetMessageBox(TMemLogic::TMessageBox box);

    TMemLogic& Logic() { return FLogic; }

    QComboBox* tsTarget = nullptr;
    QLineEdit* eAdr = nullptr;
    QLineEdit* eAnz = nullptr;
    QLineEdit* eWrite = nullptr;
    QCheckBox* cbHex = nullptr;
    QPushButton* btnRead = nullptr;
    QPushButton* btnWrite = nullptr;
    QPushButton* btnClear = nullptr;
    QTreeWidget* lvMem = nullptr;
    QStatusBar* StatusBar = nullptr;

protected:
    void FormShow() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildWidgets();
    void Retranslate();
    void PushInputs();
    void ShowInputs();
    void ShowRows(int row);
    void ShowView();
    void fillItem(QTreeWidgetItem* item, const TMemRow& row);

    TMemLogic FLogic;
    QLabel* FTargetCaption = nullptr;
    QLabel* FAdrCaption = nullptr;
    QLabel* FAnzCaption = nullptr;
    QLabel* FWriteCaption = nullptr;
    QLabel* FHintHex = nullptr;
    QLabel* FHintExample = nullptr;
    QLabel* FHintChars = nullptr;
    QLabel* FHintSeparator = nullptr;
};
