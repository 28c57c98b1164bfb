#pragma once

#include "core/devices.h"
#include "core/log.h"

// The process-wide owner of the catalog and of the model the operator chose.
class TAppManager {
public:
    // Builds the catalog, reads the stored task state and the parameters, writes the banner.
    TAppManager();
    TAppManager(const TAppManager &) = delete;
    TAppManager &operator=(const TAppManager &) = delete;

    // Applies the stored page input to the models that have a task; never raises.
    void LoadDevices();
    // Raises when "Devices.xml" cannot be written.
    void SaveDevices();

    TDevices &Devices() { return FDevices; }
    // nullptr until the operator first chooses a model.
    TDevice *Device() const { return FDevice; }
    void SetDevice(TDevice *Value) { FDevice = Value; }
    bool IsDevicesLoaded() const { return FIsDevicesLoaded; }

private:
    // The app folder + "Devices.xml".
    static QString GetDevicesFileName();

    void CreateDevices();
    void LogAppFolder();

    TDevices FDevices;
    TDevice *FDevice = nullptr;
    bool FIsDevicesLoaded = false;
    TLogger FLogger;
};

// Creates the manager on the first call.
TAppManager &AppManager();
// Frees the manager with its catalog and tasks; the main window calls it when it is destroyed.
void FreeAppManager();
