#pragma once

#include "core/log.h"

#include <QString>

// The operator's own settings in "Params.xml": the last model and task chosen and the name.
class TAppParams {
public:
    TAppParams();

    // Never raises: a missing or bad file gives the defaults and one error line.
    void Load();
    // Never raises: a failed write gives one error line and keeps the old file.
    void Save();
    // Resets only the last model.
    void SetDefaults();

    int LastDeviceID() const { return FLastDeviceID; }
    void SetLastDeviceID(int Value) { FLastDeviceID = Value; }
    int LastDeviceTask() const { return FLastDeviceTask; }
    void SetLastDeviceTask(int Value) { FLastDeviceTask = Value; }
    const QString &UserName() const { return FUserName; }
    void SetUserName(const QString &Value) { FUserName = Value; }

private:
    // The user's configuration folder + "ZARNIK/Kalibra/Params.xml"; creates the folders.
    static QString GetParamsFileName();

    TLogger FLogger;
    int FLastDeviceID = 0;
    int FLastDeviceTask = 0;
    QString FUserName;
};

TAppParams &AppParams();
