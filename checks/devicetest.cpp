#include "checks/devicetest.h"

#include "core/errors.h"
#include "driver/fiscaldriver.h"

#include <algorithm>
#include <thread>

namespace {

constexpr int PrinterBusy = 80;

const TPrinterSensorRec SensorTable[] = {
    {0, 0, QStringLiteral("Датчик рулона контрольной ленты"), QStringLiteral("Рулона нет"),
     QStringLiteral("Рулон есть"), QStringLiteral("Опустите рулон контрольной ленты"),
     QStringLiteral("Поднимите рулон контрольной ленты")},
    {1, 1, QStringLiteral("Датчик рулона чековой ленты"), QStringLiteral("Рулона нет"),
     QStringLiteral("Рулон есть"), QStringLiteral("Опустите рулон чековой ленты"),
     QStringLiteral("Поднимите рулон чековой ленты")},
    {21, 1, QStringLiteral("Вертикальный датчик рулона чековой ленты"),
     QStringLiteral("Рулона нет"), QStringLiteral("Рулон есть"),
     QStringLiteral("Опустите рулон чековой ленты"),
     QStringLiteral("Поднимите рулон чековой ленты")},
    {2, 2, QStringLiteral("Верхний датчик подкладного документа"), QStringLiteral("Документа нет"),
     QStringLiteral("Документ есть"), QStringLiteral("Вставьте документ"),
     QStringLiteral("Уберите документ")},
    {3, 3, QStringLiteral("Нижний датчик подкладного документа"), QStringLiteral("Документа нет"),
     QStringLiteral("Документ есть"), QStringLiteral("Вставьте документ"),
     QStringLiteral("Уберите документ")},
    {6, 6, QStringLiteral("Оптический датчик контрольной ленты"), QStringLiteral("Рулона нет"),
     QStringLiteral("Рулон есть"), QStringLiteral("Вставьте контрольную ленту"),
     QStringLiteral("Выньте контрольную ленту")},
    {7, 7, QStringLiteral("Оптический датчик чековой ленты"), QStringLiteral("Рулона нет"),
     QStringLiteral("Рулон есть"), QStringLiteral("Вставьте чековую ленту"),
     QStringLiteral("Выньте чековую ленту")},
    {8, 8, QStringLiteral("Рычаг термоголовки контрольной ленты"), QStringLiteral("Рычаг поднят"),
     QStringLiteral("Рычаг опущен"), QStringLiteral("Опустите рычаг контрольной ленты"),
     QStringLiteral("Поднимите рычаг контрольной ленты")},
    {9, 9, QStringLiteral("Рычаг термоголовки чековой ленты"), QStringLiteral("Рычаг поднят"),
     QStringLiteral("Рычаг опущен"), QStringLiteral("Опустите рычаг чековой ленты"),
     QStringLiteral("Поднимите рычаг чековой ленты")},
    {10, 10, QStringLiteral("Датчик состояния крышки корпуса ФР"), QStringLiteral("Крышка есть"),
     QStringLiteral("Крышки нет"), QStringLiteral("Поднимите крышку"),
     QStringLiteral("Опустите крышку")},
    {11, 11, QStringLiteral("Денежный ящик"), QStringLiteral("Ящик закрыт"),
     QStringLiteral("Ящик открыт"), QStringLiteral("Следите за ден. ящиком"),
     QStringLiteral("Следите за ден. ящиком")},
    {12, 12, QStringLiteral("Датчик бумаги на входе в презентер"), QStringLiteral("Бумаги нет"),
     QStringLiteral("Бумага есть"), QStringLiteral("Вставьте бумагу"),
     QStringLiteral("Уберите бумагу")},
    {13, 13, QStringLiteral("Датчик бумаги на выходе из презентера"), QStringLiteral("Бумаги нет"),
     QStringLiteral("Бумага есть"), QStringLiteral("Вставьте бумагу"),
     QStringLiteral("Уберите бумагу")},
};

// Model parameter, sensor added when it is set; the model's list keeps this order.
const std::pair<int, int> SensorParams[] = {{9, 10},  {4, 1},   {56, 21}, {5, 7}, {6, 9},
                                            {1, 0},   {3, 8},   {2, 6},   {7, 2}, {8, 3},
                                            {15, 12}, {16, 13}, {14, 11}};

int ReadModelParam(int Number) {
    FiscalDriver()->ModelParamNumber = Number;
    CheckDriverResult(FiscalDriver()->ReadModelParamValue());
    return FiscalDriver()->ModelParamValue;
}

// Calls Operation while it answers 80, for at most the busy limit; returns the last result.
template <typename TOperation>
int RetryWhileBusy(TOperation Operation, std::chrono::milliseconds Pause) {
    const auto deadline = std::chrono::steady_clock::now() + TDeviceTest::BusyRetryLimit;
    int result = Operation();
    while (result == PrinterBusy && std::chrono::steady_clock::now() < deadline) {
        if (Pause.count() > 0)
            std::this_thread::sleep_for(Pause);
        result = Operation();
    }
    return result;
}

} // namespace

TPrinterSensor::TPrinterSensor(const TPrinterSensorRec &AData, TPrinterSensors *AOwner)
    : FData(AData) {
    SetOwner(AOwner);
}

TPrinterSensor::~TPrinterSensor() {
    if (FOwner)
        FOwner->Detach(this);
}

void TPrinterSensor::SetOwner(TPrinterSensors *AOwner) {
    if (FOwner)
        FOwner->Detach(this);
    FOwner = AOwner;
    if (FOwner)
        FOwner->Attach(this);
}

void TPrinterSensor::Update(int Value) {
    FChecked = (static_cast<unsigned>(Value) >> FData.Bit) & 1u;
}

TPrinterSensors::~TPrinterSensors() {
    Clear();
}

TPrinterSensor &TPrinterSensors::Add(const TPrinterSensorRec &AData) {
    return *new TPrinterSensor(AData, this);
}

TPrinterSensor &TPrinterSensors::ItemByID(int ID) const {
    for (TPrinterSensor *sensor : FList)
        if (sensor->Data().ID == ID)
            return *sensor;
    throw Exception(QStringLiteral("Не найден сенсор, ID=%1.").arg(ID));
}

void TPrinterSensors::Update(int Value) {
    for (TPrinterSensor *sensor : FList)
        sensor->Update(Value);
}

void TPrinterSensors::Clear() {
    while (!FList.empty())
        delete FList.back();
}

void TPrinterSensors::Detach(TPrinterSensor *Sensor) {
    FList.erase(std::remove(FList.begin(), FList.end(), Sensor), FList.end());
}

TDeviceTest::TDeviceTest()
    : FSysPassword(BaseSysPassword)
    , FUserPassword(BaseUserPassword)
    , FTaxPassword(BaseTaxPassword) {
    for (const auto &sensor : SensorTable)
        FSensors.Add(sensor);
}

void TDeviceTest::ReadModelParams() {
    if (FiscalDriver()->GetDeviceMetrics() != 0)
        CheckDriverResult(FiscalDriver()->GetDeviceMetrics());
    FModel.ID = FiscalDriver()->UModel;
    FModel.Text = FiscalDriver()->UDescription;
    FModel.FSensors.Clear();
    FModel.CapJrnPresent = ReadModelParam(22) != 0;
    FModel.CapSlpPresent = ReadModelParam(20) != 0;
    FModel.CapPrsPresent = ReadModelParam(18) != 0;
    FModel.CapTaxKeyboard = ReadModelParam(23) != 0;
    FModel.CapBillAcceptor = ReadModelParam(19) != 0;
    FModel.CapNonfiscal = ReadModelParam(21) != 0;
    FModel.Font1Width = ReadModelParam(24);
    FModel.Font2Width = ReadModelParam(25);
    FModel.CapCashDrawerAsPresenter = ReadModelParam(13) != 0;
    FModel.BluetoothTableNumber = ReadModelParam(43);
    FModel.CapRecSensorVert = ReadModelParam(56) != 0;
    FModel.CapCutter = ReadModelParam(35) != 0;
    for (const auto &[param, sensorID] : SensorParams)
        if (ReadModelParam(param) != 0)
            FModel.AddSensor(FSensors.ItemByID(sensorID));
}

void TDeviceTest::UpdateSensors(int Flags) {
    FModel.FSensors.Update(Flags);
}

bool TDeviceTest::IsMiradanModel() const {
    switch (FModel.ID) {
    case 22:
    case 23:
    case 24:
    case 25:
    case 26:
    case 51:
    case 52:
        return true;
    default:
        return false;
    }
}

bool TDeviceTest::IsCutterEnabled() {
    FiscalDriver()->TableNumber = 1;
    FiscalDriver()->RowNumber = 1;
    FiscalDriver()->FieldNumber = 7;
    if (FiscalDriver()->ReadTable() != 0)
        return false;
    return FiscalDriver()->ValueOfFieldInteger == 1;
}

void TDeviceTest::CutCheck() {
    if (!FModel.CapCutter)
        return;
    FiscalDriver()->CutType = true;
    RetryWhileBusy([] { return FiscalDriver()->CutCheck(); }, std::chrono::milliseconds(0));
}

void TDeviceTest::PrintStringWithFont() {
    CheckDriverResult(RetryWhileBusy([] { return FiscalDriver()->PrintStringWithFont(); },
                                     std::chrono::milliseconds(50)));
}

int TDeviceTest::PrintLine() {
    return RetryWhileBusy([] { return FiscalDriver()->PrintLine(); }, std::chrono::milliseconds(0));
}

TDeviceTest &DeviceTest() {
    static TDeviceTest instance;
    return instance;
}
