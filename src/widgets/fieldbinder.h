#pragma once
// Binds edit fields to a TFieldModel by their object names: the model's texts and states are
// shown (the state as the background colour), and only the user's edits (textEdited, never a
// programmatic setText) go back to the model, which turns the field Normal.

#include "fieldmodel.h"

#include <QHash>
#include <QPointer>
#include <QString>

class QLineEdit;
class QObject;
class QWidget;

class TFieldBinder {
public:
    // Takes over the model's change callback; context owns the connections.
    TFieldBinder(TFieldModel& model, QObject* context);

    // The field's object name is its name in the model; the model's text is shown at once.
    void Bind(QLineEdit* field);
    // A widget that shows only the state (a date picker); its value is the window's business.
    void BindStateOnly(QWidget* widget);

    // Shows the model's text and state of name in its field.
    void Refresh(const QString& name);
    void RefreshAll();

private:
    TFieldModel& FModel;
    QObject* FContext;
    QHash<QString, QPointer<QLineEdit>> FFields;
    QHash<QString, QPointer<QWidget>> FStateOnly;
};
