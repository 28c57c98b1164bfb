#pragma once

#include <QMainWindow>

// The main window until the wizard's own arrives: switches the log to daily files, shows the
// caption and lists the catalog, which is what first creates the application manager.
class TStartWindow : public QMainWindow {
    Q_OBJECT

public:
    TStartWindow();
    ~TStartWindow() override;
};
