#pragma once

#include "ui/page.h"

#include <functional>

class QLabel;
class QListWidget;
class TDevice;
class TTaskListItem;

// The home page of the wizard: the operator picks a model of the catalog and one of its tasks;
// Next builds that task with its pages.
class TfmSelectDevice : public TPage {
    Q_OBJECT

public:
    // Hands the chosen model's default driver passwords to the device tests.
    using TPasswordsHook = std::function<void(const TDevice &ADevice)>;

    explicit TfmSelectDevice(QWidget *AOwner = nullptr);

    void Next() override;

    TDevice *SelectedDevice() const;
    const TTaskListItem *SelectedTask() const;

    // Set by the device-test code once it exists; until then Next hands over nothing.
    static void SetPasswordsHook(TPasswordsHook AHook);

protected:
    void DoShow() override;

private:
    void FillDevices();
    void FillTasks();
    void SelectDevice(int Row);

    QLabel *lblSelectDevice;
    QListWidget *lvDevices;
    QLabel *lblSelectTask;
    QListWidget *lvTasks;
};
