#pragma once

#include "core/errors.h"

// A failed exchange on a serial port ("нет связи") or a port that has gone.
class ESerialPortException : public Exception {
public:
    using Exception::Exception;
};

// The port could not be opened: missing, or held by another program.
class ESerialPortDenied : public ESerialPortException {
public:
    using ESerialPortException::ESerialPortException;
};
