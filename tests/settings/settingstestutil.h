#pragma once
// Small helpers shared by the settings tests.

#include "settingstexts.h"

#include <QString>

#include <functional>

// The message of the ESettingsError the call raises, or "<no error>".
inline QString errorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const ESettingsError& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

#include <ostream>

#include "qtprinters.h"
