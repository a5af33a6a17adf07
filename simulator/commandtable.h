#pragma once
// Command handlers of the virtual device, one per command word. A family registers its words in
// one function (families.h); adding a family means adding such a function, not touching the others.

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

class TDeviceModel;

// The single field of an answer to a command the device does not know or cannot carry out with
// the given parameters: a field that no answer parser takes for a value.
inline const QString kUnknownField = QStringLiteral("?");

// Parameters after the command word, split at ";" (a trailing ";" gives a last empty one).
using TCommandHandler = std::function<QStringList(TDeviceModel& model, const QStringList& params)>;

class TCommandTable {
public:
    // A later add for the same word replaces the earlier one.
    void add(const QString& word, TCommandHandler handler);
    const TCommandHandler* find(const QString& word) const;
    QStringList words() const;

private:
    QHash<QString, TCommandHandler> FHandlers;
};

// Answer payload for a command text (word and parameters, no checksum): "T" + the word's 2nd and
// 3rd letters, ";", the handler's fields each followed by ";". An unknown word gets kUnknownField.
QString AnswerPayload(const TCommandTable& table, TDeviceModel& model, const QString& command);

// Helpers for handlers: a strict integer parameter and an integer within bounds.
bool IntParam(const QStringList& params, int index, int& value);
bool IntParamIn(const QStringList& params, int index, int low, int high, int& value);
QString FormatDecimal(double value, int decimals);
