#pragma once
// "Zählerstände": the service counters window over TZaehlerLogic.

#include "fieldbinder.h"
#include "plxform.h"
#include "zaehlerlogic.h"

#include <QHash>

#include <array>
#include <functional>
#include <vector>

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStatusBar;
class QTreeWidget;

class TfZaehler : public TPLXForm {
    Q_OBJECT
public:
    using TCountDialog = std::function<std::optional<QString>(QWidget* parent, const QString& caption,
                                                              const QString& prompt, const QString& text)>;
    using TMessageBox = std::function<void(QWidget* parent, const QString& text)>;

    explicit TfZaehler(TAppContext& context, QWidget* parent = nullptr);
    ~TfZaehler() override;

    void SetOnOffLine(int online) override;
    void RXData(int status, int tag, const QString& data) override;
    void SwitchLanguage() override;

    // Replace the dialogs (tests run headless); empty restores the defaults.
    void SetCountDialog(TCountDialog dialog);
    void SetMessageBox(TMessageBox box);

    TZaehlerLogic& Logic() { return FLogic; }
    QLineEdit* Field(const QString& name) const { return FFields.value(name); }
    QPushButton* Button(const QString& name) const;

    QTreeWidget* lvJC = nullptr;
    QTreeWidget* lvEC = nullptr;
    QListWidget* clbMonitorFlags = nullptr;
    std::array<QCheckBox*, 2> cbJumper{};
    std::array<QCheckBox*, 6> cbVari{};
    QStatusBar* StatusBar = nullptr;

protected:
    void FormShow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWidgets();
    QLineEdit* AddField(QGridLayout* grid, int row, const char* caption, const QString& name, bool readOnly = false,
                        int maxLength = 0);
    QPushButton* MakeButton(QWidget* parent, const QString& name, const char* text, std::function<void()> onClick,
                            bool onlineOnly = true);
    QLabel* MakeLabel(QWidget* parent, const char* text);
    QTreeWidget* MakeList(const QString& name);
    void Retranslate();
    void ShowView();
    void ShowList(QTreeWidget* list, TZaehlerLogic::TList which);

    TZaehlerLogic FLogic;
    TFieldBinder FBinder;
    TCountDialog FCountDialog;
    TMessageBox FMessageBox;
    QHash<QString, QLineEdit*> FFields;
    QHash<QLineEdit*, int> FMaxLength;
    std::vector<QPushButton*> FOnlineButtons;
    std::vector<std::function<void()>> FTexts;
};
