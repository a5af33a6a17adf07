#pragma once
// Named sets of device parameters, so that two virtual devices can start with different
// settings (a configuration copied from one to the other then shows in every value).

#include <QString>
#include <QStringList>

class TDeviceModel;

// "default": the parameters of a new device and the PC's clock. "second": a different value for
// every parameter of the device settings and a clock set back to 15.01.2020 04:05:06.
QStringList ParameterSetNames();
// False (and nothing changed) for an unknown name.
bool ApplyParameterSet(TDeviceModel& model, const QString& name);
