#pragma once
// Texts and states of a window's named edit fields, kept by its logic class so that tests can
// drive the window headless. The program fills a field together with its state; only the
// user's own edit (UserEdit) returns a field to Normal. A view (TFieldBinder in the widgets
// library) follows the model through the change callback.

#include "fieldstate.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

class TFieldModel {
public:
    using TChanged = std::function<void(const QString& name)>;

    void SetOnChanged(TChanged changed) { FOnChanged = std::move(changed); }

    QString Text(const QString& name) const { return FFields.value(name).Text; }
    TFieldState State(const QString& name) const { return FFields.value(name).State; }
    bool Has(const QString& name) const { return FFields.contains(name); }
    QStringList Names() const { return FFields.keys(); }

    // A value from the program (an answer, a calculation) with the state it gets.
    void Fill(const QString& name, const QString& text, TFieldState state)
    {
        TEntry& e = FFields[name];
        e.Text = text;
        e.State = state;
        changed(name);
    }
    // The program's text; the state stays.
    void SetText(const QString& name, const QString& text)
    {
        FFields[name].Text = text;
        changed(name);
    }
    void SetState(const QString& name, TFieldState state)
    {
        FFields[name].State = state;
        changed(name);
    }
    // The user typed or pasted: the text as it stands now and the Normal state.
    void UserEdit(const QString& name, const QString& text)
    {
        TEntry& e = FFields[name];
        e.Text = text;
        e.State = TFieldState::Normal;
        changed(name);
    }

private:
    struct TEntry {
        QString Text;
        TFieldState State = TFieldState::Normal;
    };

    void changed(const QString& name)
    {
        if (FOnChanged)
            FOnChanged(name);
    }

    QHash<QString, TEntry> FFields;
    TChanged FOnChanged;
};
