#include "fieldbinder.h"

#include "fieldstatecolor.h"

#include <QLineEdit>

TFieldBinder::TFieldBinder(TFieldModel& model, QObject* context)
    : FModel(model)
    , FContext(context)
{
    FModel.SetOnChanged([this](const QString& name) { Refresh(name); });
}

void TFieldBinder::Bind(QLineEdit* field)
{
    const QString name = field->objectName();
    FFields.insert(name, field);
    QObject::connect(field, &QLineEdit::textEdited, FContext,
                     [this, name](const QString& text) { FModel.UserEdit(name, text); });
    Refresh(name);
}

void TFieldBinder::BindStateOnly(QWidget* widget)
{
    FStateOnly.insert(widget->objectName(), widget);
    Refresh(widget->objectName());
}

void TFieldBinder::Refresh(const QString& name)
{
    if (QLineEdit* field = FFields.value(name)) {
        const QString text = FModel.Text(name);
        // An unchanged text is not set again, so the cursor of a field being typed in stays.
        if (field->text() != text)
            field->setText(text);
        ApplyFieldState(field, FModel.State(name));
    }
    if (QWidget* widget = FStateOnly.value(name))
        ApplyFieldState(widget, FModel.State(name));
}

void TFieldBinder::RefreshAll()
{
    for (auto it = FFields.cbegin(); it != FFields.cend(); ++it)
        Refresh(it.key());
    for (auto it = FStateOnly.cbegin(); it != FStateOnly.cend(); ++it)
        Refresh(it.key());
}
