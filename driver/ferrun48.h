#pragma once

// The fiscal driver as the rest of the system sees it: set the input properties, call a
// method, read the outputs. Every method returns the result code (0 success, positive: the
// device's error, negative: the driver's own: no exchange), also kept in ResultCode and
// described in Russian by ResultCodeDescription. One object is used by one thread at a time;
// separate objects share nothing.

#include <QDate>
#include <QString>
#include <QTime>

class IFerrun48 {
public:
    virtual ~IFerrun48() = default;

    // Connection.
    int ConnectionType = 0; // 0 local serial port, 6 TCP
    int ProtocolType = 0;
    int ComNumber = 1; // port number of the platform's port list
    int BaudRate = 1;  // code 0..9
    int Timeout = 100; // byte time-out, ms
    int Password = 30;
    QString ComputerName;
    QString IPAddress;
    int TCPPort = 12345;
    int SearchTimeout = 400;
    int MaxCommandSendCount = 3;
    int MaxAnswerReadCount = 3;
    int CommandTimeout = 0;
    QString CashControlPort;

    virtual int Connect() = 0;
    virtual int Disconnect() = 0;
    virtual int LockPort() = 0;
    virtual int UnlockPort() = 0;

    // Result of the last method.
    int ResultCode = 0;
    QString ResultCodeDescription;

    // Device identity and status.
    int UModel = 0;
    QString UDescription;
    int UMajorProtoVersion = 0;
    int UMinorProtoVersion = 0;
    int ULanguage = 0;
    int ECRMode = 0;
    int ECRModeStatus = 0;
    int ECRAdvancedMode = 0;
    QString ECRModeDescription;
    QString ECRAdvancedModeDescription;
    int ECRFlags = 0;
    bool JournalRibbonIsPresent = false;
    bool ReceiptRibbonIsPresent = false;
    bool EKLZIsPresent = false;
    QString ECRSoftVersion;
    int ECRBuild = 0;
    QDate ECRSoftDate;
    QString FMSoftVersion;
    int FMBuild = 0;
    QDate FMSoftDate;
    QDate Date;
    QTime Time;
    QString SerialNumber;
    int SessionNumber = 0;
    int FreeRecordInFM = 0;
    int OperatorNumber = 0;
    double BatteryVoltage = 0;
    double PowerSourceVoltage = 0;

    virtual int GetDeviceMetrics() = 0;
    virtual int GetECRStatus() = 0;
    virtual int GetShortECRStatus() = 0;
    virtual int WaitForPrinting() = 0;
    virtual int ContinuePrint() = 0;
    virtual int ResetECR() = 0;

    // Tables and model parameters.
    int TableNumber = 0;
    int RowNumber = 1;
    int FieldNumber = 0;
    qint64 ValueOfFieldInteger = 0;
    QString ValueOfFieldString;
    int ModelParamNumber = 0;
    int ModelParamValue = 0;
    int ModelIndex = 0;

    virtual int ReadTable() = 0;
    virtual int WriteTable() = 0;
    virtual int ReadModelParamValue() = 0;

    // Exchange rate of a device port.
    int PortNumber = 0;

    virtual int GetExchangeParam() = 0;
    virtual int SetExchangeParam() = 0;

    // Clock and service.
    virtual int SetDate() = 0;
    virtual int ConfirmDate() = 0;
    virtual int SetTime() = 0;
    virtual int ResetSettings() = 0;
    virtual int InterruptTest() = 0;
    virtual int InterruptDataStream() = 0;
    virtual int SetPointPosition() = 0;
    virtual int CancelCheck() = 0;
    virtual int PrintReportWithCleaning() = 0;

    // Printing and sales.
    QString StringForPrinting;
    int FontType = 1;
    bool UseJournalRibbon = false;
    bool UseReceiptRibbon = true;
    bool UseSlipDocument = false;
    int StringQuantity = 1;
    int FeedLineCount = 0;
    bool CutType = false; // false full, true partial
    QString LineDataHex;
    bool LineSwapBytes = false;
    int PrintWidth = 0;
    int CharWidth = 0;
    int CharHeight = 0;
    double Price = 0; // roubles
    double Quantity = 0;
    int Department = 0;
    double Summ1 = 0; // cash payment, roubles
    double Change = 0;
    int DrawerNumber = 0;

    virtual int PrintString() = 0;
    virtual int PrintStringWithFont() = 0;
    virtual int PrintLine() = 0;
    virtual int FeedDocument() = 0;
    virtual int CutCheck() = 0;
    virtual int GetFontMetrics() = 0;
    virtual int OpenSession() = 0;
    virtual int Sale() = 0;
    virtual int CloseCheck() = 0;
    virtual int OpenDrawer() = 0;

    // Identity: serial numbers, fiscal drive, EKLZ.
    int FNLifeState = 0;
    int FNCurrentDocument = 0;
    int FNSessionState = 0;
    QString EKLZNumber;
    QString EKLZVersion;

    virtual int SetSerialNumber() = 0;
    virtual int SetLongSerialNumber() = 0;
    virtual int ReadSerialNumber() = 0;
    virtual int FNGetStatus() = 0;
    virtual int FNGetSerial() = 0;
    virtual int GetEKLZSerialNumber() = 0;
    virtual int GetEKLZVersion() = 0;

    // The generic extended request (F7h).
    int OperationType = 0;
    int RequestType = 0;
    int LineNumber = 1; // also the repeat count of PrintLine
    QString LineData;
    int ReadTimeout = 0;
    int FirstLineNumber = 0;
    int LastLineNumber = 0;

    virtual int GetECRParams() = 0;

    // The driver's settings dialog with a connection check.
    virtual int ShowProperties() = 0;
};
