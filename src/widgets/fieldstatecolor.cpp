#include "fieldstatecolor.h"

#include <QApplication>
#include <QLineEdit>
#include <QPalette>

QColor FieldStateColor(TFieldState state)
{
    switch (state) {
    case TFieldState::Pending:
        return QColor(0, 255, 255);  // cyan
    case TFieldState::Sent:
        return QColor(173, 216, 230);  // light blue
    case TFieldState::Confirmed:
        return QColor(144, 238, 144);  // light green
    case TFieldState::Invalid:
        return QColor(255, 0, 0);  // red
    case TFieldState::Normal:
        break;
    }
    return {};
}

void ApplyFieldState(QLineEdit* field, TFieldState state)
{
    ApplyFieldState(static_cast<QWidget*>(field), state);
}

void ApplyFieldState(QWidget* field, TFieldState state)
{
    QPalette pal = field->palette();
    const QColor c = FieldStateColor(state);
    pal.setColor(QPalette::Base, c.isValid() ? c : QApplication::palette(field).color(QPalette::Base));
    field->setPalette(pal);
    field->setAutoFillBackground(true);
}
