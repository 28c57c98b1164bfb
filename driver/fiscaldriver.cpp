#include "driver/fiscaldriver.h"

#include "core/errors.h"
#include "driver/deviceprotocol.h"
#include "driver/ferrun.h"
#include "driver/modeltable.h"

#include <mutex>

namespace {

std::mutex DriverLock;
std::shared_ptr<IFerrun48> Driver;

constexpr int DefaultCode = 6;

int ReadModelParam(int Number) {
    FiscalDriver()->ModelParamNumber = Number;
    CheckDriverResult(FiscalDriver()->ReadModelParamValue());
    return FiscalDriver()->ModelParamValue;
}

void SelectField(int Table, int Row, int Field) {
    FiscalDriver()->TableNumber = Table;
    FiscalDriver()->RowNumber = Row;
    FiscalDriver()->FieldNumber = Field;
}

} // namespace

std::shared_ptr<IFerrun48> FiscalDriver() {
    std::lock_guard lock(DriverLock);
    if (!Driver) {
        Driver = std::make_shared<TFerrun>();
        Driver->Disconnect();
        Driver->Password = BaseSysPassword;
        Driver->ModelIndex = 0;
    }
    return Driver;
}

void CheckDriverResult(int Code) {
    if (Code == 0)
        return;
    throw Exception(QStringLiteral("%1, %2").arg(Code).arg(FiscalDriver()->ResultCodeDescription));
}

int ResolveTableNumber(int Table) {
    if (Table == 18)
        return ReadModelParam(devproto::param::SerialTable);
    if (Table == 19)
        return ReadModelParam(devproto::param::Table19);
    return Table;
}

QString ReadModelTableString(int Table, int Row, int Field) {
    return ReadTableString(ResolveTableNumber(Table), Row, Field);
}

QString ReadTableString(int Table, int Row, int Field) {
    SelectField(Table, Row, Field);
    CheckDriverResult(FiscalDriver()->ReadTable());
    return FiscalDriver()->ValueOfFieldString;
}

qint64 ReadTableInteger(int Table, int Row, int Field) {
    SelectField(Table, Row, Field);
    CheckDriverResult(FiscalDriver()->ReadTable());
    return FiscalDriver()->ValueOfFieldInteger;
}

void WriteTableInteger(int Table, int Row, int Field, qint64 Value) {
    SelectField(Table, Row, Field);
    FiscalDriver()->ValueOfFieldInteger = Value;
    CheckDriverResult(FiscalDriver()->WriteTable());
}

void WriteTableString(int Table, int Row, int Field, const QString &Value) {
    SelectField(Table, Row, Field);
    FiscalDriver()->ValueOfFieldString = Value;
    CheckDriverResult(FiscalDriver()->WriteTable());
}

bool IsFiscalDriveModel() {
    FiscalDriver()->ModelParamNumber = devproto::param::FiscalDrive;
    FiscalDriver()->ReadModelParamValue();
    return FiscalDriver()->ModelParamValue != 0;
}

QString FormatNumber10(const QString &Text) {
    bool ok = false;
    const int value = Text.toInt(&ok);
    return ok ? QString::asprintf("%.10d", value) : Text;
}

QString FormatSerialNumber(const QString &Text) {
    if (Text.isEmpty())
        return QStringLiteral("не введен");
    bool ok = false;
    const int value = Text.toInt(&ok);
    return ok ? TrimLeadingZeros(QString::asprintf("%.8d", value)) : Text;
}

QString TrimLeadingZeros(const QString &Text) {
    qsizetype first = 0;
    while (first < Text.size() && Text[first] == QLatin1Char('0'))
        ++first;
    return Text.mid(first);
}

int TFerrunBaudrate::BaudrateToCode(int ABaudrate) {
    const int code = devproto::CodeOfBaudRate(ABaudrate);
    return code < 0 ? DefaultCode : code;
}

int TFerrunBaudrate::CodeToBaudrate(int ACode) {
    const int rate = ACode < 0 ? -1 : devproto::BaudRateOfCode(static_cast<unsigned>(ACode));
    return rate < 0 ? devproto::BaudRateOfCode(DefaultCode) : rate;
}
