#pragma once

// Records the button states the pages ask the controller for, without a main window.
#include "ui/uicontroller.h"

struct TButtonRecorder {
    TButtonRecorder() {
        UIController().SetOnButtonUpdate([this](TButtonEventType EventType, bool Value) {
            if (EventType == TButtonEventType::etNextEnable)
                NextEnabled = Value;
            if (EventType == TButtonEventType::etHomeEnable)
                HomeEnabled = Value;
        });
    }
    ~TButtonRecorder() { FreeUIController(); }
    TButtonRecorder(const TButtonRecorder &) = delete;
    TButtonRecorder &operator=(const TButtonRecorder &) = delete;

    bool NextEnabled = true;
    bool HomeEnabled = false;
};
