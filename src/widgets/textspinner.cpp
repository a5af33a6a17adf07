#include "textspinner.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QWheelEvent>

#include <algorithm>

TTextSpinnerModel::TTextSpinnerModel(QStringList texts, int min, int max)
    : FTexts(std::move(texts))
    , FMin(min)
    , FMax(max)
{
    FPosition = Map(0);
}

void TTextSpinnerModel::SetTexts(const QStringList& texts)
{
    FTexts = texts;
    FPosition = Map(FPosition);
}

void TTextSpinnerModel::SetLimits(int min, int max)
{
    FMin = min;
    FMax = max;
    FPosition = Map(FPosition);
}

int TTextSpinnerModel::Min() const
{
    return std::max(0, FMin);
}

int TTextSpinnerModel::Max() const
{
    const int last = Count() - 1;
    return FMax < 0 ? last : std::min(FMax, last);
}

int TTextSpinnerModel::Map(int requested) const
{
    if (FTexts.isEmpty())
        return 0;
    int p = requested;
    if (p >= Count())
        p = 0;
    else if (p < 0)
        p = Count() - 1;
    // Limits that leave nothing (min above max) keep the lower one.
    return std::max(Min(), std::min(p, Max()));
}

int TTextSpinnerModel::SetPosition(int requested)
{
    FPosition = Map(requested);
    return FPosition;
}

int TTextSpinnerModel::IndexOf(const QString& text) const
{
    return int(FTexts.indexOf(text));
}

QString TTextSpinnerModel::Text() const
{
    return FPosition >= 0 && FPosition < Count() ? FTexts.at(FPosition) : QString();
}

TTextSpinner::TTextSpinner(QWidget* parent)
    : QAbstractSpinBox(parent)
{
    lineEdit()->setReadOnly(true);
    setFocusPolicy(Qt::StrongFocus);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setAccelerated(false);
}

void TTextSpinner::SetTexts(const QStringList& texts)
{
    FModel.SetTexts(texts);
    ShowText();
    updateGeometry();
}

void TTextSpinner::SetLimits(int min, int max)
{
    FModel.SetLimits(min, max);
    ShowText();
}

void TTextSpinner::SetPosition(int position)
{
    FModel.SetPosition(position);
    ShowText();
}

void TTextSpinner::Show(const TTextSpinnerModel& model)
{
    const bool textsChanged = model.Texts() != FModel.Texts();
    FModel = model;
    ShowText();
    if (textsChanged)
        updateGeometry();
}

void TTextSpinner::stepBy(int steps)
{
    if (FModel.Count() == 0 || steps == 0)
        return;
    // One step at a time, so a page step wraps like single steps do.
    const int before = FModel.Position();
    const int direction = steps > 0 ? 1 : -1;
    for (int i = 0; i != steps; i += direction)
        FModel.SetPosition(FModel.Position() + direction);
    ShowText();
    if (FModel.Position() != before)
        Q_EMIT UserStepped(FModel.Position());
}

QAbstractSpinBox::StepEnabled TTextSpinner::stepEnabled() const
{
    if (!isEnabled() || FModel.Count() < 2)
        return StepNone;
    return StepUpEnabled | StepDownEnabled;
}

void TTextSpinner::wheelEvent(QWheelEvent* event)
{
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QAbstractSpinBox::wheelEvent(event);
}

void TTextSpinner::ShowText()
{
    lineEdit()->setText(FModel.Text());
    update();
}

QSize TTextSpinner::sizeHint() const
{
    ensurePolished();
    const QFontMetrics fm(font());
    int width = fm.horizontalAdvance(QStringLiteral("0000"));
    for (const QString& t : FModel.Texts())
        width = std::max(width, fm.horizontalAdvance(t));
    QStyleOptionSpinBox opt;
    initStyleOption(&opt);
    const QSize content(width + 8, lineEdit()->sizeHint().height());
    return style()->sizeFromContents(QStyle::CT_SpinBox, &opt, content, this);
}

QSize TTextSpinner::minimumSizeHint() const
{
    return sizeHint();
}
