#pragma once
// The program state that the main window owns and the module windows read: settings, open
// flags, online and service mode, and the device values the status polling fills in.

#include "devicestate.h"

#include <array>

class TFSettingsForm;

// Fixed client ids of the windows that talk to the device.
enum TClientId {
    ciMain = 0,
    ciEinstellung = 1,
    ciBedien = 2,
    ciZaehler = 3,
    ciUpdate = 4,
    ciSysMeld = 5,
    ciTc = 6,
    ciManuell = 7,
    ciMem = 8,
    ciKalib = 9,
    ciProbedaten = 10,
    ciService = 11,
};
constexpr int kClientCount = 12;

struct RClient {
    bool isOpen = false;
};

class TAppContext {
public:
    explicit TAppContext(TFSettingsForm& settings) : FSettings(settings) {}
    TAppContext(const TAppContext&) = delete;
    TAppContext& operator=(const TAppContext&) = delete;

    TFSettingsForm& Settings() const { return FSettings; }

    bool Online = false;
    bool ServiceMode = false;
    // "General/ServiceModules" or service mode, as last applied.
    bool ServiceShown = false;
    std::array<RClient, kClientCount> Clients{};
    // Written only by the status polling.
    TDeviceState Device;

private:
    TFSettingsForm& FSettings;
};
