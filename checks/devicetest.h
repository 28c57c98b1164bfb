#pragma once

// What the connected printer can do and which sensors it has, the passwords of the chosen
// model, and printing operations that wait while the printer is busy.

#include <QString>
#include <chrono>
#include <vector>

struct TPrinterSensorRec {
    int ID = 0;
    int Bit = 0; // in the flags word the device reports
    QString Text;
    QString StatusText0;
    QString StatusText1;
    QString ActionText0;
    QString ActionText1;
};

class TPrinterSensors;

// One sensor and its state at the last update; it lives in the list that is its owner.
class TPrinterSensor {
public:
    explicit TPrinterSensor(const TPrinterSensorRec &AData, TPrinterSensors *AOwner = nullptr);
    ~TPrinterSensor();
    TPrinterSensor(const TPrinterSensor &) = delete;
    TPrinterSensor &operator=(const TPrinterSensor &) = delete;

    // Leaves the old list and is appended to the new one, which then owns it.
    void SetOwner(TPrinterSensors *AOwner);
    TPrinterSensors *Owner() const { return FOwner; }
    void Update(int Value);
    bool Checked() const { return FChecked; }
    const TPrinterSensorRec &Data() const { return FData; }
    const QString &ActionText() const { return FChecked ? FData.ActionText1 : FData.ActionText0; }

private:
    bool FChecked = false;
    TPrinterSensors *FOwner = nullptr;
    TPrinterSensorRec FData;
};

// An owning list of sensors.
class TPrinterSensors {
public:
    TPrinterSensors() = default;
    ~TPrinterSensors();
    TPrinterSensors(const TPrinterSensors &) = delete;
    TPrinterSensors &operator=(const TPrinterSensors &) = delete;

    TPrinterSensor &Add(const TPrinterSensorRec &AData);
    // Raises "Не найден сенсор, ID=%d." for an unknown ID.
    TPrinterSensor &ItemByID(int ID) const;
    void Update(int Value);
    void Clear();
    int Count() const { return static_cast<int>(FList.size()); }
    TPrinterSensor &Items(int Index) const { return *FList.at(static_cast<size_t>(Index)); }

private:
    friend class TPrinterSensor;
    void Attach(TPrinterSensor *Sensor) { FList.push_back(Sensor); }
    void Detach(TPrinterSensor *Sensor);

    std::vector<TPrinterSensor *> FList;
};

// The model of the connected device as last read.
class TPrinterModel {
public:
    void AddSensor(const TPrinterSensor &Sensor) { FSensors.Add(Sensor.Data()); }

    TPrinterSensors FSensors;
    int ID = 0;
    QString Text;
    bool CapJrnPresent = false;
    bool CapSlpPresent = false;
    bool CapPrsPresent = false;
    bool CapTaxKeyboard = false;
    bool CapBillAcceptor = false;
    bool CapNonfiscal = false;
    int Font1Width = 0;
    int Font2Width = 0;
    bool CapCashDrawerAsPresenter = false;
    int BluetoothTableNumber = 0;
    bool CapRecSensorVert = false;
    bool CapCutter = false;
};

// The process-wide device test: passwords, the sensor table and the connected model.
class TDeviceTest {
public:
    // A printer still busy after this long ends the busy retries with its result 80.
    static constexpr std::chrono::seconds BusyRetryLimit{30};

    TDeviceTest();

    void ReadModelParams();
    void UpdateSensors(int Flags);
    bool IsMiradanModel() const;
    bool IsCutterEnabled();
    void CutCheck();
    void PrintStringWithFont();
    int PrintLine();

    int FSysPassword;
    int FUserPassword;
    int FTaxPassword;
    TPrinterSensors FSensors;
    TPrinterModel FModel;
    bool UseJournal = true;
};

// The base default passwords of the catalog.
constexpr int BaseUserPassword = 1;
constexpr int BaseTaxPassword = 0;

TDeviceTest &DeviceTest();
