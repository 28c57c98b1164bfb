#include "ui/selectdevice.h"

#include "core/appmanager.h"
#include "core/appparams.h"
#include "ui/rowdelegate.h"
#include "ui/uicontroller.h"
#include "ui/uifonts.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>

namespace {

TfmSelectDevice::TPasswordsHook &PasswordsHook() {
    static TfmSelectDevice::TPasswordsHook Hook;
    return Hook;
}

QListWidget *NewList(QWidget *Parent, const char *Name, int PixelSize, bool BoldSelection) {
    auto *List = new QListWidget(Parent);
    List->setObjectName(QLatin1String(Name));
    List->setFont(PixelFont(QStringLiteral("Arial"), PixelSize));
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->setUniformItemSizes(true);
    List->setItemDelegate(new TListRowDelegate(20, BoldSelection, List));
    return List;
}

} // namespace

TfmSelectDevice::TfmSelectDevice(QWidget *AOwner)
    : TPage(AOwner)
    , lblSelectDevice(new QLabel(QStringLiteral("Выберите устройство:"), this))
    , lvDevices(NewList(this, "lvDevices", 15, true))
    , lblSelectTask(new QLabel(QStringLiteral("Доступные задачи:"), this))
    , lvTasks(NewList(this, "lvTasks", 19, false)) {
    SetCaption(QStringLiteral("Выберите устройство и задачу"));
    lblSelectDevice->setObjectName(QStringLiteral("lblSelectDevice"));
    lblSelectDevice->setFont(PixelFont(QStringLiteral("Arial"), 16, true));
    lblSelectTask->setObjectName(QStringLiteral("lblSelectTask"));
    lblSelectTask->setFont(PixelFont(QStringLiteral("Arial"), 16, true));
    lvDevices->setFixedWidth(270);

    auto *Layout = new QGridLayout(this);
    Layout->setContentsMargins(10, 10, 10, 10);
    Layout->addWidget(lblSelectDevice, 0, 0);
    Layout->addWidget(lblSelectTask, 0, 1);
    Layout->addWidget(lvDevices, 1, 0);
    Layout->addWidget(lvTasks, 1, 1);
    Layout->setColumnStretch(1, 1);

    connect(lvDevices, &QListWidget::currentRowChanged, this, [this] { FillTasks(); });
    connect(lvTasks, &QListWidget::itemDoubleClicked, this, [] { UIController().Next(); });
    FillDevices();
}

void TfmSelectDevice::SetPasswordsHook(TPasswordsHook AHook) {
    PasswordsHook() = std::move(AHook);
}

void TfmSelectDevice::FillDevices() {
    const QSignalBlocker Blocker(lvDevices);
    lvDevices->clear();
    const TDevices &Devices = AppManager().Devices();
    for (int Index = 0; Index < Devices.Count(); ++Index)
        lvDevices->addItem(Devices.Items(Index).Name());
    SelectDevice(0);
}

void TfmSelectDevice::SelectDevice(int Row) {
    {
        const QSignalBlocker Blocker(lvDevices);
        lvDevices->setCurrentRow(Row);
    }
    FillTasks();
}

void TfmSelectDevice::FillTasks() {
    lvTasks->clear();
    const TDevice *Device = SelectedDevice();
    if (!Device)
        return;
    lblSelectTask->setText(QStringLiteral("Доступные задачи для ") + Device->Name() +
                           QStringLiteral(":"));
    const TTaskList &Tasks = Device->TaskList();
    for (int Index = 0; Index < Tasks.Count(); ++Index)
        lvTasks->addItem(Tasks.Items(Index).Description());
    lvTasks->setCurrentRow(0);
}

TDevice *TfmSelectDevice::SelectedDevice() const {
    const int Row = lvDevices->currentRow();
    const TDevices &Devices = AppManager().Devices();
    if (Row < 0 || Row >= Devices.Count() || !lvDevices->item(Row)->isSelected())
        return nullptr;
    return &Devices.Items(Row);
}

const TTaskListItem *TfmSelectDevice::SelectedTask() const {
    const TDevice *Device = SelectedDevice();
    const int Row = lvTasks->currentRow();
    if (!Device || Row < 0 || Row >= Device->TaskList().Count() ||
        !lvTasks->item(Row)->isSelected())
        return nullptr;
    return &Device->TaskList().Items(Row);
}

void TfmSelectDevice::DoShow() {
    UIController().EnableNextOnly();
    const TDevices &Devices = AppManager().Devices();
    // Model numbers are not unique: the last row with the stored number wins.
    for (int Row = 0; Row < Devices.Count(); ++Row)
        if (Devices.Items(Row).ModelID() == AppParams().LastDeviceID())
            SelectDevice(Row);
    const int TaskRow = AppParams().LastDeviceTask();
    if (TaskRow >= 0 && TaskRow < lvTasks->count())
        lvTasks->setCurrentRow(TaskRow);
    lvTasks->setFocus();
}

void TfmSelectDevice::Next() {
    TDevice *Device = SelectedDevice();
    const TTaskListItem *Task = SelectedTask();
    if (!Device || !Task) {
        SetGoNext(false);
        return;
    }
    const int TaskRow = lvTasks->currentRow();
    AppManager().SetDevice(Device);
    Device->CreateTask(*Task);
    SetGoNext(true);
    AppManager().LoadDevices();
    if (PasswordsHook())
        PasswordsHook()(*Device);
    AppParams().SetLastDeviceID(Device->ModelID());
    AppParams().SetLastDeviceTask(TaskRow);
    AppParams().Save();
    TPage::Next();
}
