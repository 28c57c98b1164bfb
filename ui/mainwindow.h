#pragma once

#include "ui/page.h"
#include "ui/uicontroller.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>

class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QToolButton;

// The single main window: header with icon and step title, the steps list, the site the pages
// are docked into, and the bottom bar with Home, Next, Menu and Exit. It handles the controller's
// events; pages and tasks talk only to the controller.
class TfmMain : public QMainWindow {
    Q_OBJECT

public:
    // Opens the fiscal driver's properties dialog; set by the driver code.
    using TDriverPropertiesHook = std::function<void(QWidget *Parent)>;

    explicit TfmMain(QWidget *Parent = nullptr);
    ~TfmMain() override;

    void ShowPage(TPage *APage);
    TPage *ShownPage() const { return FPage; }

    static void SetDriverPropertiesHook(TDriverPropertiesHook AHook);

protected:
    void closeEvent(QCloseEvent *Event) override;
    void keyPressEvent(QKeyEvent *Event) override;

private:
    void BuildHeader(QWidget *Parent);
    void BuildBottomBar(QWidget *Parent);
    void DoPageUpdate();
    void DoButtonUpdate(TButtonEventType EventType, bool Value);
    void DoUpdateAppCaption(const QString &Text);
    void HomeClick();
    void MenuClick();
    void StepsClick();
    void DriverPropertiesClick();
    void FillSteps();

    QFrame *pnlTop;
    QLabel *imgTopIcon;
    QLabel *lblTop;
    QFrame *pnlBottom;
    QToolButton *btnHome;
    QWidget *pnlCenterButtons;
    QPushButton *btnPrev;
    QPushButton *btnNext;
    QWidget *pnlBRight;
    QToolButton *btnMenu;
    QToolButton *btnExit;
    QListWidget *lvSteps;
    QWidget *pnlSite;
    QMenu *pmMain;

    // Tasks free their pages when a new task is built for the same model.
    QPointer<TPage> FPage;
};
