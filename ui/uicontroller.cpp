#include "ui/uicontroller.h"

#include "core/appmanager.h"
#include "core/errors.h"
#include "ui/selectdevice.h"
#include "ui/userprompts.h"
#include "work/devicetask.h"

namespace {

std::unique_ptr<TUIController> &ControllerInstance() {
    static std::unique_ptr<TUIController> Instance;
    return Instance;
}

bool IsModelChosen() {
    return AppManager().Device() != nullptr;
}

} // namespace

TUIController &UIController() {
    auto &Instance = ControllerInstance();
    if (!Instance)
        Instance = std::make_unique<TUIController>();
    return *Instance;
}

void FreeUIController() {
    ControllerInstance().reset();
}

TUIController::TUIController() = default;

TUIController::~TUIController() = default;

void TUIController::Initialize() {
    FHomePage = std::make_unique<TfmSelectDevice>();
    FHomePage->SetOnNext([](TPage &) {});
    FHomePage->SetImageIndex(9);
    GetFirstPage();
}

void TUIController::GetFirstPage() {
    FPage = FHomePage.get();
    FPageIndex = -1;
    FStepNumber = 0;
    FStepCount = 0;
    SetAppCaption(QString());
}

void TUIController::Next() {
    if (!FPage || !FPage->QueryNext())
        return;
    WithErrorBox([this] {
        FPage->Next();
        if (FPage->GoNext())
            GetNextPage();
        ShowNextPage();
    });
}

void TUIController::Prev() {
    if (!FPage || !FPage->QueryPrev())
        return;
    FPage->Prev();
    if (FPage->GoNext())
        GetPrevPage();
    ShowNextPage();
}

void TUIController::ShowNextPage() {
    if (!FPage)
        return;
    Update();
    if (TDeviceTask *Task = GetCurrentTask())
        Task->Start();
}

void TUIController::Home() {
    WithErrorBox([this] {
        if (FPage)
            FPage->Cancel();
        GetFirstPage();
        Update();
    });
}

bool TUIController::Cancel() {
    return FPage ? FPage->Cancel() : true;
}

void TUIController::SetStep(int Number) {
    if (!IsModelChosen())
        return;
    MoveTo(Number - 1);
    Update();
    if (TDeviceTask *Task = GetCurrentTask())
        Task->Start();
}

void TUIController::GetNextPage() {
    if (!IsModelChosen())
        return;
    MoveTo(FPageIndex + 1);
}

void TUIController::GetPrevPage() {
    if (!IsModelChosen())
        return;
    MoveTo(FPageIndex - 1);
}

void TUIController::MoveTo(int Index) {
    TDeviceTask *Task = GetCurrentTask();
    if (!Task || !Task->Pages().ValidIndex(Index)) {
        GetFirstPage();
        return;
    }
    FPageIndex = Index;
    FPage = Task->Pages().Items(Index);
    UpdateStepInfo();
}

void TUIController::Update() {
    if (FOnUpdate)
        FOnUpdate();
}

void TUIController::UpdateStepInfo() {
    const TDeviceTask *Task = GetCurrentTask();
    FStepCount = Task ? Task->Pages().Count() : 0;
    FStepNumber = FPageIndex + 1;
}

TDeviceTask *TUIController::GetCurrentTask() const {
    const TDevice *Device = AppManager().Device();
    return Device ? dynamic_cast<TDeviceTask *>(Device->Task()) : nullptr;
}

void TUIController::SetAppCaption(const QString &Value) {
    FAppCaption = Value;
    if (FOnUpdateAppCaption)
        FOnUpdateAppCaption(Value);
}

void TUIController::UpdateButtons(TButtonEventType AEventType, bool AValue) {
    if (FOnButtonUpdate)
        FOnButtonUpdate(AEventType, AValue);
}

void TUIController::EnableNext(bool Value) {
    UpdateButtons(TButtonEventType::etNextEnable, Value);
}

void TUIController::EnablePrev(bool Value) {
    UpdateButtons(TButtonEventType::etPrevEnable, Value);
}

void TUIController::EnableHome(bool Value) {
    UpdateButtons(TButtonEventType::etHomeEnable, Value);
}

void TUIController::EnablePrevNext() {
    UpdateButtons(TButtonEventType::etNextEnable, true);
    UpdateButtons(TButtonEventType::etPrevEnable, true);
    UpdateButtons(TButtonEventType::etNextFocus, true);
    UpdateButtons(TButtonEventType::etNextDefault, true);
}

void TUIController::EnableNextOnly() {
    UpdateButtons(TButtonEventType::etNextEnable, true);
    UpdateButtons(TButtonEventType::etNextFocus, true);
    UpdateButtons(TButtonEventType::etNextDefault, true);
    UpdateButtons(TButtonEventType::etPrevEnable, false);
}

void TUIController::EnablePrevOnly() {
    UpdateButtons(TButtonEventType::etNextEnable, false);
    UpdateButtons(TButtonEventType::etPrevEnable, true);
    UpdateButtons(TButtonEventType::etPrevDefault, true);
    UpdateButtons(TButtonEventType::etPrevFocus, true);
}

void TUIController::DisablePrevNext() {
    UpdateButtons(TButtonEventType::etNextEnable, false);
    UpdateButtons(TButtonEventType::etPrevEnable, false);
}

void TUIController::SetPrevDefault() {
    UpdateButtons(TButtonEventType::etNextDefault, false);
    UpdateButtons(TButtonEventType::etPrevDefault, true);
}

void TUIController::SetNoDefault() {
    UpdateButtons(TButtonEventType::etPrevDefault, false);
    UpdateButtons(TButtonEventType::etNextDefault, false);
}
