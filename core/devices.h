#pragma once

#include "core/devicetaskbase.h"
#include "core/log.h"
#include "core/tasklist.h"

#include <QDomDocument>
#include <QDomElement>
#include <QString>
#include <memory>
#include <vector>

// One device model of the catalog: its name, number, default driver passwords, the tasks it
// offers and the task created for it last.
class TDevice {
public:
    TDevice(int AModelID, QString AName);
    virtual ~TDevice() = default;
    TDevice(const TDevice &) = delete;
    TDevice &operator=(const TDevice &) = delete;

    // Frees the current task, then builds the item's task. A task class that is not available
    // raises before anything changes; a task whose construction fails leaves the model without one.
    void CreateTask(const TTaskListItem &Item);
    // Both do nothing while the model has no task.
    void LoadFromXML(const QDomElement &ANode);
    void SaveToXML(QDomElement ANode);

    int ModelID() const { return FModelID; }
    const QString &Name() const { return FName; }
    TDeviceTaskBase *Task() const { return FTask.get(); }
    const TTaskList &TaskList() const { return FTaskList; }
    bool TaskCreated() const { return FTaskCreated; }
    int DefSysPassword() const { return FDefSysPassword; }
    int DefUserPassword() const { return FDefUserPassword; }
    int DefTaxPassword() const { return FDefTaxPassword; }

protected:
    void SetPasswords(int ASysPassword, int AUserPassword, int ATaxPassword);

    TTaskList FTaskList;

private:
    int FModelID;
    QString FName;
    std::unique_ptr<TDeviceTaskBase> FTask;
    bool FTaskCreated = false;
    int FDefSysPassword;
    int FDefUserPassword;
    int FDefTaxPassword;
};

// The default driver passwords of every model but two.
inline constexpr int DefaultSysPassword = 30;
inline constexpr int DefaultUserPassword = 1;
inline constexpr int DefaultTaxPassword = 0;

// The family of fiscal printers that offer the check and both firmware updates.
class TOstrelDevice : public TDevice {
public:
    TOstrelDevice(int AModelID, QString AName);
};

class TOstrel01Device : public TOstrelDevice {
public:
    TOstrel01Device();
};

class TOstrel02Device : public TOstrelDevice {
public:
    TOstrel02Device();
};

class TOstrel03Device : public TOstrelDevice {
public:
    TOstrel03Device();
};

class TOstrel04Device : public TOstrelDevice {
public:
    TOstrel04Device();
};

class TMINIPTKDevice : public TOstrelDevice {
public:
    TMINIPTKDevice();
};

class TMiradan01KDevice : public TOstrelDevice {
public:
    TMiradan01KDevice();
};

class TZarnikFRPTKDevice : public TOstrelDevice {
public:
    TZarnikFRPTKDevice();
};

class TZarnikFRPTKBelDevice : public TOstrelDevice {
public:
    TZarnikFRPTKBelDevice();
};

class TLMOZarnikVektorDevice : public TOstrelDevice {
public:
    TLMOZarnikVektorDevice();
};

class TTM40KDevice : public TDevice {
public:
    TTM40KDevice();
};

class TTC40MDDevice : public TDevice {
public:
    TTC40MDDevice();
};

class TSOLANTDevice : public TDevice {
public:
    TSOLANTDevice();
};

class TMerido01FADevice : public TDevice {
public:
    TMerido01FADevice();
};

class TUMDevice : public TDevice {
public:
    TUMDevice();
};

class TFNKKTDevice : public TDevice {
public:
    TFNKKTDevice();
};

class TZarnikTABDevice : public TDevice {
public:
    TZarnikTABDevice();
};

// The catalog: owns its models in catalog order and stores their task state in "Devices.xml".
class TDevices {
public:
    TDevices();

    int Count() const { return static_cast<int>(FItems.size()); }
    TDevice &Items(int Index) const { return *FItems.at(static_cast<size_t>(Index)); }
    void Add(std::unique_ptr<TDevice> ADevice) { FItems.push_back(std::move(ADevice)); }
    // The first model in catalog order with that number, or nullptr.
    TDevice *ItemByModelID(int AModelID) const;

    // Never raises: a bad file gives one error line, a bad "Device" element is skipped.
    void LoadFromFile(const QString &FileName);
    // Raises when the file cannot be written; the old file then stays as it was.
    void SaveToFile(const QString &FileName);

private:
    QDomElement StoredElementOf(const TDevice &ADevice) const;

    std::vector<std::unique_ptr<TDevice>> FItems;
    // The "Devices" element of the last file read or written; models without a task in this run
    // keep their element from it.
    QDomDocument FDocument;
    QDomElement FDevicesNode;
    TLogger FLogger;
};
