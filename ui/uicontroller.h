#pragma once

#include <QString>
#include <functional>
#include <memory>

class TDeviceTask;
class TPage;
class TfmSelectDevice;

enum class TButtonEventType {
    etNextEnable,
    etPrevEnable,
    etNextFocus,
    etPrevFocus,
    etNextDefault,
    etPrevDefault,
    etHomeEnable,
};

using TButtonNotifyEvent = std::function<void(TButtonEventType EventType, bool Value)>;
using TStringEvent = std::function<void(const QString &AStr)>;
using TNotifyEvent = std::function<void()>;

// The wizard's navigator: knows the page on show, moves through the chosen model's task and
// back to the selection page, and relays the pages' button requests to the main window. It never
// touches a control; the main window handles its events.
class TUIController {
public:
    TUIController();
    ~TUIController();
    TUIController(const TUIController &) = delete;
    TUIController &operator=(const TUIController &) = delete;

    // Creates the selection page and shows it.
    void Initialize();
    void GetFirstPage();
    // Errors are shown in the "Произошла ошибка" box; the silent abort is swallowed.
    void Next();
    void Home();
    bool Cancel();
    // Jumps to page Number (1-based) without asking the page being left.
    void SetStep(int Number);
    void Prev();
    void Update();
    void UpdateStepInfo();
    TDeviceTask *GetCurrentTask() const;

    void EnableNext(bool Value);
    void EnablePrev(bool Value);
    void EnableHome(bool Value);
    void EnablePrevNext();
    void EnableNextOnly();
    void EnablePrevOnly();
    void DisablePrevNext();
    void SetPrevDefault();
    void SetNoDefault();

    TPage *Page() const { return FPage; }
    TfmSelectDevice *HomePage() const { return FHomePage.get(); }
    int PageIndex() const { return FPageIndex; }
    int StepNumber() const { return FStepNumber; }
    int StepCount() const { return FStepCount; }
    const QString &AppCaption() const { return FAppCaption; }
    void SetAppCaption(const QString &Value);

    void SetOnUpdate(TNotifyEvent Value) { FOnUpdate = std::move(Value); }
    void SetOnButtonUpdate(TButtonNotifyEvent Value) { FOnButtonUpdate = std::move(Value); }
    void SetOnUpdateAppCaption(TStringEvent Value) { FOnUpdateAppCaption = std::move(Value); }

private:
    void GetNextPage();
    void GetPrevPage();
    // Shows page Index of the current task, or the selection page when there is no such page.
    void MoveTo(int Index);
    void UpdateButtons(TButtonEventType AEventType, bool AValue);
    void ShowNextPage();

    std::unique_ptr<TfmSelectDevice> FHomePage;
    TPage *FPage = nullptr;
    TNotifyEvent FOnUpdate;
    TButtonNotifyEvent FOnButtonUpdate;
    int FPageIndex = -1;
    int FStepNumber = 0;
    int FStepCount = 0;
    QString FAppCaption;
    TStringEvent FOnUpdateAppCaption;
};

// The process-wide controller, created on the first call.
TUIController &UIController();
// Frees the controller and its selection page; the main window calls it when it is destroyed.
void FreeUIController();
