#pragma once
// What the memory monitor does, without widgets: read and write requests for the device's
// memories, one list row per request, the answer bytes in the row of their request, and the
// inputs kept in the settings. The window TfMem shows this object's view; tests drive it
// headless. User-interface thread only.

#include "appcontext.h"
#include "fieldstate.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

constexpr int kMemTargetCount = 4;
constexpr int kMemTargetFlash = 3;
constexpr int kMemMaxCount = 20;

// Name and row colour of a target position 0..3.
QString MemTargetName(int position);
QColor MemTargetColour(int position);
// Position of a target name; -1 for none of the four.
int MemTargetPosition(const QString& name);

// A decimal integer or "$" followed by hexadecimal digits ("0x" is not one); blanks around it
// allowed.
bool ParseMemInt(const QString& text, int& value);

struct TMemRow {
    int Nr = 0;
    bool Write = false;
    int Target = 0;  // position
    int Address = 0;
    int Count = 0;
    QStringList Data;  // as shown
};

struct TMemInputs {
    int Target = 0;
    QString Address;
    QString Count = QStringLiteral("1");
    QString WriteText;
    bool Hex = false;
};

class TMemLogic : public QObject {
    Q_OBJECT
public:
    using TMessageBox = std::function<void(const QString& text)>;

    explicit TMemLogic(TAppContext& context, QObject* parent = nullptr);

    void SetMessageBox(TMessageBox box) { FMessageBox = std::move(box); }

    // Module operations.
    void FormShow();
    void FormClose();
    void SetOnOffLine(int online);
    void RXData(int status, int tag, const QString& data);

    // The inputs as the user left them (the window pushes them before each action).
    void SetInputs(const TMemInputs& inputs) { FInputs = inputs; }
    const TMemInputs& Inputs() const { return FInputs; }

    void btnReadClick();
    void btnWriteClick();
    void btnClearClick();
    // Loads a row's request into the inputs; true when it was a write (focus on "Schreiben").
    bool RowDoubleClick(int row);

    const QList<TMemRow>& Rows() const { return FRows; }
    int RequestCounter() const { return FCounter; }
    bool ButtonsEnabled() const { return FContext.Online; }
    TFieldState AddressState() const { return FAddressState; }
    TFieldState CountState() const { return FCountState; }
    TFieldState WriteState() const { return FWriteState; }

Q_SIGNALS:
    void InputsChanged();
    void RowsChanged(int row);  // -1: the whole list
    void ViewChanged();

private:
    int saveTarget();
    bool readAddress(int& address);
    void setInt(const char* key, int value);
    void message(const QString& text);

    TAppContext& FContext;
    TMessageBox FMessageBox;
    TMemInputs FInputs;
    QList<TMemRow> FRows;
    int FCounter = 0;
    TFieldState FAddressState = TFieldState::Normal;
    TFieldState FCountState = TFieldState::Normal;
    TFieldState FWriteState = TFieldState::Normal;
};
