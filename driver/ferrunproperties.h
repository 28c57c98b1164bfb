#pragma once

// The driver's settings dialog: connection settings and a connection check.

#include <QDialog>

class TFerrun;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

class TFerrunPropertiesDialog : public QDialog {
public:
    TFerrunPropertiesDialog(TFerrun &driver, QWidget *parent = nullptr);

    // Copies the edited settings into the driver.
    void Apply();
    // Applies the settings and asks the device for its type; the result shows in the dialog.
    void CheckConnection();
    QString CheckResult() const;

private:
    TFerrun &FDriver;
    QComboBox *cbConnectionType;
    QSpinBox *edtComNumber;
    QComboBox *cbBaudRate;
    QSpinBox *edtTimeout;
    QLineEdit *edtHost;
    QSpinBox *edtTCPPort;
    QLabel *lblResult;
};
