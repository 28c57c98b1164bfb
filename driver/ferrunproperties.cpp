#include "driver/ferrunproperties.h"

#include "driver/deviceprotocol.h"
#include "driver/ferrun.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

TFerrunPropertiesDialog::TFerrunPropertiesDialog(TFerrun &driver, QWidget *parent)
    : QDialog(parent)
    , FDriver(driver)
    , cbConnectionType(new QComboBox(this))
    , edtComNumber(new QSpinBox(this))
    , cbBaudRate(new QComboBox(this))
    , edtTimeout(new QSpinBox(this))
    , edtHost(new QLineEdit(this))
    , edtTCPPort(new QSpinBox(this))
    , lblResult(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Свойства драйвера"));
    cbConnectionType->addItem(QStringLiteral("Локальный последовательный порт"), 0);
    cbConnectionType->addItem(QStringLiteral("TCP сокет"), 6);
    cbConnectionType->setCurrentIndex(driver.ConnectionType == 6 ? 1 : 0);
    edtComNumber->setRange(1, 9999);
    edtComNumber->setValue(driver.ComNumber);
    for (unsigned code = 0; code < 10; ++code)
        cbBaudRate->addItem(QString::number(devproto::BaudRateOfCode(code)), code);
    cbBaudRate->setCurrentIndex(std::clamp(driver.BaudRate, 0, 9));
    edtTimeout->setRange(1, 60000);
    edtTimeout->setValue(driver.Timeout);
    edtHost->setText(driver.ComputerName.isEmpty() ? driver.IPAddress : driver.ComputerName);
    edtTCPPort->setRange(1, 65535);
    edtTCPPort->setValue(driver.TCPPort);
    lblResult->setWordWrap(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Тип подключения:"), cbConnectionType);
    form->addRow(QStringLiteral("Номер порта:"), edtComNumber);
    form->addRow(QStringLiteral("Скорость:"), cbBaudRate);
    form->addRow(QStringLiteral("Таймаут, мс:"), edtTimeout);
    form->addRow(QStringLiteral("Адрес:"), edtHost);
    form->addRow(QStringLiteral("TCP порт:"), edtTCPPort);

    auto *check = new QPushButton(QStringLiteral("Проверка связи"), this);
    connect(check, &QPushButton::clicked, this, &TFerrunPropertiesDialog::CheckConnection);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        Apply();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(check);
    layout->addWidget(lblResult);
    layout->addWidget(buttons);
}

void TFerrunPropertiesDialog::Apply() {
    FDriver.ConnectionType = cbConnectionType->currentData().toInt();
    FDriver.ComNumber = edtComNumber->value();
    FDriver.BaudRate = cbBaudRate->currentData().toInt();
    FDriver.Timeout = edtTimeout->value();
    FDriver.ComputerName = edtHost->text();
    FDriver.IPAddress = edtHost->text();
    FDriver.TCPPort = edtTCPPort->value();
}

void TFerrunPropertiesDialog::CheckConnection() {
    Apply();
    const int rc = FDriver.GetDeviceMetrics();
    if (rc == 0)
        lblResult->setText(QStringLiteral("Связь есть: %1 (модель %2)")
                               .arg(FDriver.UDescription)
                               .arg(FDriver.UModel));
    else
        lblResult->setText(QStringLiteral("%1, %2").arg(rc).arg(FDriver.ResultCodeDescription));
    FDriver.Disconnect();
}

QString TFerrunPropertiesDialog::CheckResult() const {
    return lblResult->text();
}
