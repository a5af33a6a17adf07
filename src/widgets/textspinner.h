#pragma once
// A choice control that steps through a list of texts: the positions of the list, limits within
// it, and the mapping every new position goes through. Out of range wraps first (past the end
// to 0, below 0 to the last entry), then the limits hold it. The windows' logic classes keep a
// TTextSpinnerModel for each control; TTextSpinner shows one and reports only the user's steps.

#include <QAbstractSpinBox>
#include <QStringList>

class TTextSpinnerModel {
public:
    TTextSpinnerModel() = default;
    // Limits default to the whole list; max -1 means "the last entry".
    explicit TTextSpinnerModel(QStringList texts, int min = 0, int max = -1);

    // Replaces the texts; the position is mapped again.
    void SetTexts(const QStringList& texts);
    // Limits within the list; max -1 means "the last entry".
    void SetLimits(int min, int max);

    // The position that requested maps to: wrapped into the list, then held within the limits.
    int Map(int requested) const;
    // Sets the mapped position; returns it.
    int SetPosition(int requested);
    // Position of the first entry showing text, -1 when none does.
    int IndexOf(const QString& text) const;

    int Position() const { return FPosition; }
    int Count() const { return int(FTexts.size()); }
    int Min() const;
    int Max() const;
    const QStringList& Texts() const { return FTexts; }
    QString Text() const;

private:
    QStringList FTexts;
    int FMin = 0;
    int FMax = -1;
    int FPosition = 0;
};

class TTextSpinner : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit TTextSpinner(QWidget* parent = nullptr);

    void SetTexts(const QStringList& texts);
    void SetLimits(int min, int max);
    // Shows the (mapped) position; no user signal.
    void SetPosition(int position);
    // Takes texts, limits and position of a model; no user signal.
    void Show(const TTextSpinnerModel& model);

    int Position() const { return FModel.Position(); }
    QString Text() const { return FModel.Text(); }
    const TTextSpinnerModel& Model() const { return FModel; }

    void stepBy(int steps) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // The user stepped (buttons, arrow keys, wheel, page keys) to a new position.
    void UserStepped(int position);

protected:
    StepEnabled stepEnabled() const override;
    // Scrolling over a spinner that does not have the focus scrolls the page, not the value:
    // every step may be a command to the device.
    void wheelEvent(QWheelEvent* event) override;

private:
    void ShowText();

    TTextSpinnerModel FModel;
};
