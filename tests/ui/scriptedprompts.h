#pragma once

// Answers the wizard's questions from a script and records every prompt it was shown.
#include "ui/userprompts.h"

#include <deque>
#include <gtest/gtest.h>
#include <vector>

class TScriptedPrompts : public IUserPrompts {
public:
    struct TPrompt {
        QString Title;
        QString Text;
        TPromptIcon Icon;
    };

    TScriptedPrompts()
        : FPrevious(SetUserPrompts(this)) {}
    ~TScriptedPrompts() override { SetUserPrompts(FPrevious); }
    TScriptedPrompts(const TScriptedPrompts &) = delete;
    TScriptedPrompts &operator=(const TScriptedPrompts &) = delete;

    // The answer to the next question: true for Yes.
    void Answer(bool Yes) { FAnswers.push_back(Yes); }

    bool Ask(const QString &Title, const QString &Text, TPromptIcon Icon, bool) override {
        Shown.push_back({Title, Text, Icon});
        if (FAnswers.empty()) {
            ADD_FAILURE() << "unexpected question: " << Text.toStdString();
            return false;
        }
        const bool Yes = FAnswers.front();
        FAnswers.pop_front();
        return Yes;
    }
    void Show(const QString &Title, const QString &Text, TPromptIcon Icon) override {
        Shown.push_back({Title, Text, Icon});
    }
    QString OpenFileName(const QString &Title, const QString &, const QString &) override {
        Shown.push_back({Title, QString(), TPromptIcon::None});
        return FileName;
    }
    QString FolderName(const QString &Title, const QString &) override {
        Shown.push_back({Title, QString(), TPromptIcon::None});
        return FileName;
    }

    bool AllAnswered() const { return FAnswers.empty(); }

    std::vector<TPrompt> Shown;
    // What the file and folder dialogs return.
    QString FileName;

private:
    IUserPrompts *FPrevious;
    std::deque<bool> FAnswers;
};
