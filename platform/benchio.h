#pragma once

// The OS calls of the virtual bench: pseudo-terminals, loopback and local sockets, poll.
// Handles are plain file descriptors; every call returns an errno value or a result with one.

#include "platform/serialdevice.h"

#include <QString>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The device side of a pseudo-terminal. The bench keeps a handle of the host side open as
// well, so that the master does not hang up while no host has the port open.
class PtyMaster {
public:
    PtyMaster() = default;
    ~PtyMaster();
    PtyMaster(const PtyMaster &) = delete;
    PtyMaster &operator=(const PtyMaster &) = delete;

    int Open();
    // Closes both sides: a host reading the port gets an I/O error.
    void Close();
    bool IsOpen() const { return FMaster >= 0; }
    int Handle() const { return FMaster; }
    // The host side's device node ("/dev/pts/3").
    QString HostPath() const { return FHostPath; }
    // The rate the host last set on the line; 0 when it cannot be read.
    unsigned BaudRate() const;

private:
    int FMaster = -1;
    int FHost = -1;
    QString FHostPath;
};

// Non-blocking transfers on any handle; Error is EAGAIN when nothing can move now.
TransferResult ReadSome(int handle, char *buffer, std::size_t size);
TransferResult WriteSome(int handle, std::string_view bytes);
void CloseHandle(int handle);

// A listening TCP socket on 127.0.0.1 (port 0: any free port, see BoundPort).
int ListenTcp(std::uint16_t port, int &handle);
std::uint16_t BoundPort(int handle);
// A listening local stream socket at the path (a stale socket file is replaced).
int ListenLocal(const QString &path, int &handle);
// A connection waiting on a listening socket, non-blocking; -1 when none.
int Accept(int listener);
// A blocking connection to a local stream socket; -1 on failure.
int ConnectLocal(const QString &path);

// A handle that becomes readable when Wake is called from any thread.
class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent &) = delete;
    WakeEvent &operator=(const WakeEvent &) = delete;
    int Handle() const { return FHandle; }
    void Wake();
    void Clear();

private:
    int FHandle = -1;
};

struct PollEntry {
    int Handle = -1;
    bool WantWrite = false;
    bool Readable = false; // data waiting, or end of stream
    bool Writable = false;
    bool HungUp = false;
};

// Waits until one of the handles is ready or the time-out passes, to the microsecond rather
// than the millisecond; a negative time-out does not wait.
int Poll(std::vector<PollEntry> &entries, std::chrono::nanoseconds timeout);

// Lets the calling thread's timed waits end close to when they are due, instead of the up to
// 50 us late the system allows by default to group wake-ups.
void UsePreciseTimers();

// Keeps SIGINT and SIGTERM from ending the process, in this thread and the threads it starts
// afterwards, so that WaitForTerminationSignal can take them.
void BlockTerminationSignals();
// True when SIGINT or SIGTERM came within the time-out.
bool WaitForTerminationSignal(std::chrono::milliseconds timeout);

int MakeSymlink(const QString &target, const QString &link);
// Removes a file or link; a missing one is no error.
int RemoveFile(const QString &path);

} // namespace platform
