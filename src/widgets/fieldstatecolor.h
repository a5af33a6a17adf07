#pragma once
// Background colours of the field states, defined once for every window.

#include "fieldstate.h"

#include <QColor>

class QLineEdit;
class QWidget;

// The colour of a state; an invalid QColor for Normal (the palette's own base colour).
QColor FieldStateColor(TFieldState state);

// Paints the field's background for the state. Normal restores the style's palette.
void ApplyFieldState(QLineEdit* field, TFieldState state);
// The same for any input widget that paints its Base colour (date pickers, spin boxes).
void ApplyFieldState(QWidget* field, TFieldState state);
