#pragma once

#include <QDomElement>
#include <functional>
#include <memory>

// What the catalog needs of a device task: it owns the task and stores the task's page input.
// The task framework derives its task base from this, so the catalog can be built before it.
class TDeviceTaskBase {
public:
    virtual ~TDeviceTaskBase() = default;
    // ANode is the model's "Tasks" element.
    virtual void LoadFromXML(QDomElement ANode) = 0;
    virtual void SaveToXML(QDomElement ANode) = 0;
};

// The task classes the task-list items create, one per item kind.
enum class TDeviceTaskClass {
    CheckFR,
    WriteFRFlash,
    WriteFMFlash,
    WriteFMNetFlash,
    CheckUM,
    CheckUMSerial,
    CheckUMRS,
    CheckUMRSSerial,
    CheckFNKKT,
    CheckFNKKTSerial,
    SetRNDIS,
};

using TDeviceTaskFactory = std::function<std::unique_ptr<TDeviceTaskBase>()>;

// The subsystems that implement tasks register them at start-up, before the main window exists;
// registering a class again replaces its factory.
void RegisterDeviceTaskClass(TDeviceTaskClass AClass, TDeviceTaskFactory AFactory);

template <class TTask>
void RegisterDeviceTaskClass(TDeviceTaskClass AClass) {
    RegisterDeviceTaskClass(AClass, [] { return std::make_unique<TTask>(); });
}

// The factory of a registered class, or nullptr.
const TDeviceTaskFactory *FindDeviceTaskFactory(TDeviceTaskClass AClass);
