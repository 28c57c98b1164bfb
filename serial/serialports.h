#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One serial port present on the machine.
struct TSerialPortRec {
    QString Name;         // the name shown to the operator ("ttyUSB0", "ttyBENCH1")
    QString FriendlyName; // description and name, "USB Serial Port (ttyUSB0)"
    int ComNumber = -1;   // the port's number (platform/portnames.h)
    QString DevicePath;   // what to open
    bool IsUSB = false;   // attached over USB (a bench port of kind usb counts too)
    unsigned Vid = 0;
    unsigned Pid = 0;
};

// The serial ports present on the machine: the system's, then the virtual bench's.
class TSerialPorts : public QList<TSerialPortRec> {
public:
    void Enumerate();
    int IndexOfComNumber(int AComNumber) const;
};

// What a bench port's ".port" file says about it.
struct TBenchPortInfo {
    QString Name;
    QString Kind; // "rs232" or "usb"
    QString Device;
    QString Description;
};

// Reads "<link>.port" beside a bench port's link; false when it is missing.
bool ReadBenchPortInfo(const QString &LinkPath, TBenchPortInfo &Info);

// The number written as "(COM<digits>)" in the text; -1 when absent or for a printer port
// "(LPT".
int ComNumberFromFriendlyName(const QString &Text);

// Vendor and product from a device interface name ("...Vid_0403&Pid_6001..."); 0 when absent.
void ParseVidPid(const QString &DeviceName, unsigned &Vid, unsigned &Pid);

// The names of the present USB serial ports with this identity; returns how many were added.
int FindPortsByVidPid(unsigned Vid, unsigned Pid, QStringList &List);

// The port names of the USB device named in the text, each followed by CR LF; empty when none.
QString PortNamesFromDeviceName(const QString &DeviceName);
