#pragma once

#include <QString>
#include <exception>
#include <string>

// An error whose message is ready to show to the operator.
class Exception : public std::exception {
public:
    explicit Exception(QString message)
        : FMessage(std::move(message))
        , FUtf8(FMessage.toStdString()) {}
    const QString &Message() const noexcept { return FMessage; }
    const char *what() const noexcept override { return FUtf8.c_str(); }

private:
    QString FMessage;
    std::string FUtf8;
};

// Cancellation: stops the operation like any error, but no message box shows it.
class EAbort : public Exception {
public:
    explicit EAbort(QString message = QStringLiteral("Операция отменена"))
        : Exception(std::move(message)) {}
};

// Bad hexadecimal text or an index outside a collection.
class ERangeError : public Exception {
public:
    using Exception::Exception;
};

// The message of any exception a worker or loader catches, for logs and failed states.
inline QString ExceptionMessage(const std::exception &e) {
    if (const auto *own = dynamic_cast<const Exception *>(&e))
        return own->Message();
    return QString::fromUtf8(e.what());
}
