#include "core/appmanager.h"

#include "core/appparams.h"

#include <QDir>
#include <QFileInfo>
#include <memory>

namespace {

std::unique_ptr<TAppManager> &Instance() {
    static std::unique_ptr<TAppManager> manager;
    return manager;
}

} // namespace

TAppManager::TAppManager()
    : FLogger(QStringLiteral("TAppManager")) {
    CreateDevices();
    LoadDevices();
    AppParams().Load();
    const QString stars(61, QLatin1Char('*'));
    FLogger.Debug(stars);
    FLogger.Debug(QStringLiteral("Kalibra v") + GetVersionText());
    FLogger.Debug(stars);
    LogAppFolder();
}

void TAppManager::CreateDevices() {
    FDevices.Add(std::make_unique<TOstrel01Device>());
    FDevices.Add(std::make_unique<TOstrel02Device>());
    FDevices.Add(std::make_unique<TOstrel03Device>());
    FDevices.Add(std::make_unique<TOstrel04Device>());
    FDevices.Add(std::make_unique<TMINIPTKDevice>());
    FDevices.Add(std::make_unique<TMiradan01KDevice>());
    FDevices.Add(std::make_unique<TZarnikFRPTKDevice>());
    FDevices.Add(std::make_unique<TZarnikFRPTKBelDevice>());
    FDevices.Add(std::make_unique<TLMOZarnikVektorDevice>());
    FDevices.Add(std::make_unique<TTM40KDevice>());
    FDevices.Add(std::make_unique<TTC40MDDevice>());
    FDevices.Add(std::make_unique<TSOLANTDevice>());
    FDevices.Add(std::make_unique<TMerido01FADevice>());
    FDevices.Add(std::make_unique<TUMDevice>());
    FDevices.Add(std::make_unique<TFNKKTDevice>());
    FDevices.Add(std::make_unique<TZarnikTABDevice>());
}

// An installed copy cannot write beside itself and works in the user's data folder instead;
// say which one holds "Devices.xml", the logs and the reports.
void TAppManager::LogAppFolder() {
    const QString folder = QDir::cleanPath(GetAppFolder());
    if (folder == QFileInfo(GetExecutablePath()).absolutePath())
        FLogger.Info(QStringLiteral("Папка программы: ") + folder);
    else
        FLogger.Info(QStringLiteral("Папка программы недоступна для записи, используется ") +
                     folder);
}

QString TAppManager::GetDevicesFileName() {
    return GetAppFolder() + QStringLiteral("Devices.xml");
}

void TAppManager::LoadDevices() {
    FDevices.LoadFromFile(GetDevicesFileName());
    FIsDevicesLoaded = true;
}

void TAppManager::SaveDevices() {
    FDevices.SaveToFile(GetDevicesFileName());
}

TAppManager &AppManager() {
    auto &manager = Instance();
    if (!manager)
        manager = std::make_unique<TAppManager>();
    return *manager;
}

void FreeAppManager() {
    Instance().reset();
}
