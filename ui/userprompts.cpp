#include "ui/userprompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon BoxIcon(TPromptIcon Icon) {
    switch (Icon) {
    case TPromptIcon::Information:
        return QMessageBox::Information;
    case TPromptIcon::Question:
        return QMessageBox::Question;
    case TPromptIcon::Warning:
        return QMessageBox::Warning;
    case TPromptIcon::Error:
        return QMessageBox::Critical;
    case TPromptIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// Modal Qt dialogs over the active window.
class TQtUserPrompts : public IUserPrompts {
public:
    bool Ask(const QString &Title, const QString &Text, TPromptIcon Icon,
             bool DefaultYes) override {
        QMessageBox Box(BoxIcon(Icon), Title, Text, QMessageBox::Yes | QMessageBox::No,
                        QApplication::activeWindow());
        Box.setDefaultButton(DefaultYes ? QMessageBox::Yes : QMessageBox::No);
        return Box.exec() == QMessageBox::Yes;
    }

    void Show(const QString &Title, const QString &Text, TPromptIcon Icon) override {
        QMessageBox Box(BoxIcon(Icon), Title, Text, QMessageBox::Ok, QApplication::activeWindow());
        Box.exec();
    }

    QString OpenFileName(const QString &Title, const QString &FileName,
                         const QString &Filter) override {
        return QFileDialog::getOpenFileName(QApplication::activeWindow(), Title, FileName, Filter);
    }

    QString FolderName(const QString &Title, const QString &Folder) override {
        return QFileDialog::getExistingDirectory(QApplication::activeWindow(), Title, Folder);
    }
};

TQtUserPrompts &QtPrompts() {
    static TQtUserPrompts Prompts;
    return Prompts;
}

IUserPrompts *CurrentPrompts = nullptr;

} // namespace

IUserPrompts &UserPrompts() {
    return CurrentPrompts ? *CurrentPrompts : QtPrompts();
}

IUserPrompts *SetUserPrompts(IUserPrompts *APrompts) {
    IUserPrompts *Previous = CurrentPrompts;
    CurrentPrompts = APrompts;
    return Previous;
}

void ShowErrorBox(const QString &Message) {
    UserPrompts().Show(QStringLiteral("Произошла ошибка"), Message, TPromptIcon::Error);
}
