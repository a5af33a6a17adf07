#pragma once
// "Programmeinstellungen": the editor over the settings tree. Groups on the left, one frame per
// value node of the selected group on the right; values reach the tree only through "Speichern".
// The tree and its language belong to TFSettingsForm; this window only shows and edits them.

#include "settingsframes.h"

#include <QDialog>
#include <QPointer>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QStackedLayout;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;
class TFSettingsForm;

class TfSettingsEditor : public QDialog {
    Q_OBJECT
public:
    explicit TfSettingsEditor(TFSettingsForm& settings, QWidget* parent = nullptr);
    ~TfSettingsEditor() override;

    // Boxes and dialogs; tests replace them.
    TSettingsDialogs& Dialogs() { return FContext.dialogs; }
    // Where the serial-port frames get the ports present now.
    void SetPortSource(std::function<QList<TPortEntry>()> source);

    // Saved during this showing: the caller writes the settings file.
    bool Saved() const { return FSaved; }
    bool DebugMode() const { return debugMode; }
    int Language() const { return FLanguage; }

    // Switches the tree and the editor; the group at the same place stays selected.
    void SetLanguage(int lang);
    // The tree view's error marks from the groups' error flags.
    void UpdateErrorStates();
    void RebuildTree();
    // The frames in the frame area, top to bottom.
    QList<TfrSetting*> ShownFrames() const;
    // The tree-view node of a group; nullptr when it is not shown.
    QTreeWidgetItem* ItemOf(const TGroupNode* group) const;
    TGroupNode* GroupOf(const QTreeWidgetItem* item) const;
    bool SelectGroup(const TGroupNode* group);
    // The tree-view node shows the error mark.
    static bool ItemHasError(const QTreeWidgetItem* item);

    // Escape and "Schließen" both end here: errors ask first.
    void reject() override;

    QTreeWidget* TreeView = nullptr;
    QScrollArea* FrameContainer = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnDump = nullptr;
    QLabel* lblDebug = nullptr;
    QLabel* lblSaved = nullptr;
    QTimer* SavedTimer = nullptr;
    QWidget* panDump = nullptr;
    QPlainTextEdit* memDump = nullptr;
    QPushButton* btnDumpClose = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Ctrl+D from any widget of the window, a text field with the focus included.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    bool FormCloseQuery();
    void FormKeyDown();
    void TreeViewChange(QTreeWidgetItem* current);
    void btnSaveClick();
    void btnDumpClick();
    void btnDumpCloseClick();
    void SavedTimerTimer();
    void FillTreeView();
    void ApplyLanguageTexts();
    void SwitchEditorLanguage();
    // Takes the frames out of the area; with exit they validate first.
    void DetachFrames(bool exit);
    void FocusChanged(QWidget* old, QWidget* now);
    QList<int> ItemPosition(QTreeWidgetItem* item) const;
    QTreeWidgetItem* ItemAt(const QList<int>& position) const;

    TFSettingsForm& FSettings;
    TFrameContext FContext;
    bool debugMode = false;
    bool FSaved = false;
    int FLanguage = 0;
    // Frames come and go: focus leaving them then is no exit.
    bool FQuietFrames = false;
    // "Speichern" is walking the frames; a language switch meanwhile is done after the walk.
    bool FSaving = false;
    bool FLanguagePending = false;
    QList<QPointer<TfrSetting>> FShown;
    QVBoxLayout* FFrameLayout = nullptr;
    QStackedLayout* FPages = nullptr;
    QWidget* FEditorPage = nullptr;
    std::function<void(int)> FOuterLanguageHook;
};
