#include "core/tasklist.h"

TTaskListItem::TTaskListItem(QString AName, QString ADescription, TDeviceTaskClass ADeviceTaskClass)
    : FName(std::move(AName))
    , FDescription(std::move(ADescription))
    , FDeviceTaskClass(ADeviceTaskClass) {}

TCheckFRTaskListItem::TCheckFRTaskListItem()
    : TTaskListItem(QStringLiteral("CheckFR"), QStringLiteral("Проверка ПТК"),
                    TDeviceTaskClass::CheckFR) {}

// "UPdateFR" with a capital P is the identifier as it has always been stored.
TUpdateFRTaskListItem::TUpdateFRTaskListItem()
    : TTaskListItem(QStringLiteral("UPdateFR"), QStringLiteral("Обновление прошивки ПТК"),
                    TDeviceTaskClass::WriteFRFlash) {}

TUpdateFMTaskListItem::TUpdateFMTaskListItem()
    : TTaskListItem(QStringLiteral("UpdateFM"), QStringLiteral("Обновление прошивки ФП"),
                    TDeviceTaskClass::WriteFMFlash) {}

TUpdateFMNetTaskListItem::TUpdateFMNetTaskListItem()
    : TTaskListItem(QStringLiteral("UpdateFMNet"), QStringLiteral("Обновление прошивки ФП"),
                    TDeviceTaskClass::WriteFMNetFlash) {}

TCheckUMTaskListItem::TCheckUMTaskListItem()
    : TTaskListItem(QStringLiteral("CheckUM"), QStringLiteral("Проверка УМ (ОТК)"),
                    TDeviceTaskClass::CheckUM) {}

TCheckUMSerialTaskListItem::TCheckUMSerialTaskListItem()
    : TTaskListItem(QStringLiteral("CheckUMSerial"),
                    QStringLiteral("Проверка УМ (ввод зав. номера)"),
                    TDeviceTaskClass::CheckUMSerial) {}

TCheckUMRSTaskListItem::TCheckUMRSTaskListItem()
    : TTaskListItem(QStringLiteral("CheckUMRS"), QStringLiteral("Проверка УМ без USB (ОТК)"),
                    TDeviceTaskClass::CheckUMRS) {}

TCheckUMRSSerialTaskListItem::TCheckUMRSSerialTaskListItem()
    : TTaskListItem(QStringLiteral("CheckUMRSSerial"),
                    QStringLiteral("Проверка УМ без USB (ввод зав. номера)"),
                    TDeviceTaskClass::CheckUMRSSerial) {}

// In "ККT" the third letter is the Latin T.
TCheckFNKKTTaskListItem::TCheckFNKKTTaskListItem()
    : TTaskListItem(QStringLiteral("CheckFNKKT"), QStringLiteral("Проверка ККT с ФН (ОТК)"),
                    TDeviceTaskClass::CheckFNKKT) {}

TCheckFNKKTSerialTaskListItem::TCheckFNKKTSerialTaskListItem()
    : TTaskListItem(QStringLiteral("CheckFNKKTSerial"),
                    QStringLiteral("Проверка ККT с ФН (Ввод зав. номера)"),
                    TDeviceTaskClass::CheckFNKKTSerial) {}

TSetRNDISTaskListItem::TSetRNDISTaskListItem()
    : TTaskListItem(QStringLiteral("SetRNDIS"), QStringLiteral("Установка RNDIS"),
                    TDeviceTaskClass::SetRNDIS) {}
