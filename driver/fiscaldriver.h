#pragma once

// The thin layer every check uses on the driver: the process-wide driver object, the rule
// that turns a result code into an exception, one-field table access, the model-dependent
// table numbers, the baud-rate codes and a few number formatters.

#include "driver/ferrun48.h"

#include <QString>
#include <memory>

// The base default password of the system administrator (the catalog's two-digit one).
constexpr int BaseSysPassword = 30;

// The process-wide driver, created on the first call.
std::shared_ptr<IFerrun48> FiscalDriver();

// Raises Exception("%d, %s") with the process-wide driver's description when Code is not 0.
void CheckDriverResult(int Code);

// 18 and 19 are logical numbers: the device's own come from model parameters 72 and 73.
int ResolveTableNumber(int Table);
QString ReadModelTableString(int Table, int Row, int Field);
QString ReadTableString(int Table, int Row, int Field);
qint64 ReadTableInteger(int Table, int Row, int Field);
void WriteTableInteger(int Table, int Row, int Field, qint64 Value);
void WriteTableString(int Table, int Row, int Field, const QString &Value);
// Model parameter 71; its result code is not checked.
bool IsFiscalDriveModel();

QString FormatNumber10(const QString &Text);
QString FormatSerialNumber(const QString &Text);
QString TrimLeadingZeros(const QString &Text);

// The driver's baud-rate codes 0..9; 115200 (code 6) stands for everything else.
class TFerrunBaudrate {
public:
    static int BaudrateToCode(int ABaudrate);
    static int CodeToBaudrate(int ACode);
};
