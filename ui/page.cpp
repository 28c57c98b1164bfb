#include "ui/page.h"

#include "ui/uicontroller.h"

#include <QShowEvent>

TPage::TPage(QWidget *AOwner)
    : QWidget(AOwner) {}

bool TPage::Cancel() {
    return false;
}

void TPage::Initialize() {
    UIController().EnableHome(true);
}

void TPage::Next() {
    if (FOnNext)
        FOnNext(*this);
}

void TPage::Prev() {
    if (FOnPrev)
        FOnPrev(*this);
}

void TPage::Run() {}

void TPage::SaveToXML(QDomElement) {}

void TPage::LoadFromXML(QDomElement) {}

bool TPage::QueryNext() {
    return true;
}

bool TPage::QueryPrev() {
    return true;
}

void TPage::showEvent(QShowEvent *Event) {
    QWidget::showEvent(Event);
    if (!Event->spontaneous())
        DoShow();
}

void TPages::Initialize() {
    for (const auto &Page : FItems)
        Page->Initialize();
}
