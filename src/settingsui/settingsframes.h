#pragma once
// The editing frames of the settings editor, one per value node. A frame is created from the
// node's current value, belongs to the node (TValueNode::frame) until the tree view is rebuilt,
// validates what the user typed and hands it to the node only when saved.

#include "framelogic.h"
#include "settingsnodes.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTextEdit;
class TTextSpinner;

// Boxes and dialogs of the editor; replaced by tests.
struct TSettingsDialogs {
    // The chosen file, empty when cancelled. filter is a Qt filter ("A (*.a);;B (*)").
    std::function<QString(QWidget* parent, const QString& title, const QString& dir, const QString& filter,
                          const QString& defaultExt)>
        openFile;
    // The chosen directory, empty when cancelled.
    std::function<QString(QWidget* parent, const QString& title, const QString& dir)> selectDir;
    std::function<bool(QWidget* parent, const QString& question)> askYesNo;
    std::function<void(QWidget* parent, const QString& text)> warn;
    // The list of ports: the chosen row, or -1.
    std::function<int(QWidget* parent, const QStringList& lines, int current)> choosePort;
};

TSettingsDialogs DefaultSettingsDialogs();

// What every frame of one editor shares.
struct TFrameContext {
    TSettingsDialogs dialogs;
    // The serial ports present now (the connection layer's list).
    std::function<QList<TPortEntry>()> enumPorts;
    // Told after a frame validated, so the tree marks its group.
    std::function<void()> updateErrorStates;
};

// The red error line under a frame's input.
class TfrErrorLine : public QWidget {
public:
    explicit TfrErrorLine(QWidget* parent);
    // Empty hides the line.
    void ShowError(const QString& message);
    QString Text() const;

private:
    QLabel* FText = nullptr;
};

class TfrSetting : public QWidget, public TSettingsFrame {
    Q_OBJECT
public:
    TfrSetting(TValueNode& node, const QString& caption, TFrameContext& context);

    TValueNode& Node() const { return FNode; }
    // Checks the frame's content, sets the node's error flag and shows the error line. Frames
    // without rules accept anything.
    virtual bool Validate() { return true; }
    // Takes the frame's content into the node where it is valid.
    virtual void Save() = 0;
    // The user left the frame.
    void Exit() { Validate(); }

    // Empty when the frame shows no error.
    QString ErrorText() const;
    QString Caption() const { return FCaption; }

protected:
    // Shows the outcome of a check and sets the node's error flag.
    void SetError(const QString& message);
    TfrErrorLine* FError = nullptr;
    TFrameContext& FContext;

private:
    TValueNode& FNode;
    QString FCaption;
};

// Text, integer and float nodes: caption, one-line field, error line. File and directory nodes:
// a group box with the field and a "..." button.
class TfrText : public TfrSetting {
    Q_OBJECT
public:
    TfrText(TValueNode& node, const QString& caption, TFrameContext& context);

    bool Validate() override;
    void Save() override;
    // The field's text when it passes the node's rules.
    bool ReadFrameValue(QString& val);

    QLineEdit* edtValue = nullptr;
    QPushButton* btnSelect = nullptr;  // file and directory nodes only

private:
    void btnSelectClick();
};

class TfrBoolean : public TfrSetting {
    Q_OBJECT
public:
    TfrBoolean(TBooleanNode& node, const QString& caption, TFrameContext& context);
    void Save() override;

    QCheckBox* cbValue = nullptr;
};

class TfrRadio : public TfrSetting {
    Q_OBJECT
public:
    TfrRadio(TRadioNode& node, const QString& caption, TFrameContext& context);
    void Save() override;
    // The selected item, -1 when none is.
    int Selected() const;
    void Select(int index);

    QList<class QRadioButton*> buttons;
};

// Choice and language nodes: items "%s|%d"; the spinner shows the text, yields the number.
class TfrSpin : public TfrSetting {
    Q_OBJECT
public:
    TfrSpin(TSelectNode& node, const QString& caption, TFrameContext& context);
    void Save() override;
    // The number of the item shown, -1 without items.
    int Number() const;

    TTextSpinner* spnValue = nullptr;

private:
    QStringList FItems;
};

class TfrInfo : public TfrSetting {
    Q_OBJECT
public:
    TfrInfo(TInfoNode& node, const QString& caption, TFrameContext& context);
    void Save() override {}

    QTextEdit* memInfo = nullptr;

private:
    void fitHeight();
};

class TfrTable : public TfrSetting {
    Q_OBJECT
public:
    TfrTable(TFloatTableNode& node, const QString& caption, TFrameContext& context);
    bool Validate() override;
    void Save() override;

    QTableWidget* grdTable = nullptr;

private:
    TTableCheck check();
    void markCell(int col, int row, bool bad);
};

class TfrComPort : public TfrSetting {
    Q_OBJECT
public:
    TfrComPort(TComPortNode& node, const QString& caption, TFrameContext& context);
    bool Validate() override;
    void Save() override;

    TTextSpinner* spnPort = nullptr;
    QPushButton* btnPorts = nullptr;
    TTextSpinner* spnBaud = nullptr;  // only with withBaud
    QLabel* lblBaud = nullptr;
    QCheckBox* cbLog = nullptr;
    QLineEdit* edtTimeOut = nullptr;
    QLineEdit* edtInterval = nullptr;

private:
    void btnPortsClick();
    void showPorts(const QList<TPortEntry>& found, const QString& current);
};

// Light red of a rejected table cell.
QColor BadCellColour();

// The node operations of the editor.
// The node's frame, created with the current value when it has none.
TfrSetting* GetFrame(TValueNode& node, const QString& caption, TFrameContext& context);
TfrSetting* FrameOf(const TValueNode& node);
// Destroys the frame; the node's error goes with it, since nothing shows it any more.
void ResetFrame(TValueNode& node);
void SaveValue(TValueNode& node);
void OnFrameExit(TValueNode& node);
// Text, integer, float, file and directory nodes: the frame's text when it is valid.
bool ReadFrameValue(TValueNode& node, QString& val);

// Every frame of the subtree destroyed.
void ResetAllFrames(TSettingsNode& node);
// Saves every value node with a frame, in tree order. A language node is saved last, so its
// switch (which rebuilds the editor) comes after every other frame was taken.
void SaveAllValues(TGroupNode& root);
