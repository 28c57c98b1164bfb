#pragma once

#include "core/errors.h"

#include <QString>

class QWidget;

enum class TPromptIcon { None, Information, Question, Warning, Error };

// Every message box and file dialog of the wizard goes through this, so that tests can answer
// the questions and read the texts.
class IUserPrompts {
public:
    virtual ~IUserPrompts() = default;
    // A Yes/No question; true for Yes.
    virtual bool Ask(const QString &Title, const QString &Text, TPromptIcon Icon,
                     bool DefaultYes) = 0;
    // A message with an OK button.
    virtual void Show(const QString &Title, const QString &Text, TPromptIcon Icon) = 0;
    // The chosen file, or empty when the operator cancels.
    virtual QString OpenFileName(const QString &Title, const QString &FileName,
                                 const QString &Filter) = 0;
    // The chosen folder, or empty when the operator cancels.
    virtual QString FolderName(const QString &Title, const QString &Folder) = 0;
};

// The process-wide prompts: real Qt dialogs unless a test put its own in place.
IUserPrompts &UserPrompts();
// Installs APrompts (not owned; nullptr restores the dialogs) and returns the previous one.
IUserPrompts *SetUserPrompts(IUserPrompts *APrompts);

// The error box of the wizard: "Произошла ошибка" with the error icon.
void ShowErrorBox(const QString &Message);

// Runs a step of the wizard: an error ends in the error box, the silent abort in silence.
template <class TStep>
void WithErrorBox(TStep Step) {
    try {
        Step();
    } catch (const EAbort &) {
    } catch (const std::exception &E) {
        ShowErrorBox(ExceptionMessage(E));
    }
}
