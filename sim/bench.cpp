#include "sim/bench.h"

#include "platform/benchio.h"
#include "platform/portnames.h"

#include <QDir>
#include <QFile>
#include <atomic>
#include <cerrno>
#include <iostream>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace sim {

using std::chrono::milliseconds;

namespace {

constexpr milliseconds TickPeriod{10};
constexpr std::size_t ReadChunk = 4096;

std::string SystemText(int error) {
    return platform::ErrorText(error).toStdString();
}

// Pending output of a port, let out at the device's rate when pacing is on: a byte goes to the
// host once its 10 bit times since the previous one have passed, never earlier.
//
// The bench hands paced bytes over in groups, as a USB adapter does with its latency timer: it
// wakes when the last byte of a group is due, a group being what is pending or at most
// GroupSpan of line time. So the last byte of every answer leaves when it is due, which is what
// a host waiting for that answer needs, while a host reading the port wakes once for a short
// answer rather than once for every byte.
struct Output {
    static constexpr std::uint64_t NanosecondsPerByte10 = 10'000'000'000; // 10 bit times × 1 s
    static constexpr std::chrono::milliseconds GroupSpan{16};

    std::string Bytes;
    Clock::time_point Start;
    std::size_t Sent = 0; // bytes let out since Start
    bool Blocked = false; // the host side was full at the last flush: wait for room

    void Append(std::string_view bytes) {
        if (Bytes.empty()) {
            Start = Clock::now();
            Sent = 0;
        }
        Bytes.append(bytes);
    }

    // When byte n after Start has fully gone out on the line (rounded up to the nanosecond).
    Clock::time_point DueTime(std::size_t n, int rate) const {
        const auto r = static_cast<std::uint64_t>(rate);
        const std::uint64_t whole = n / r * NanosecondsPerByte10;
        const std::uint64_t part = (n % r * NanosecondsPerByte10 + r - 1) / r;
        return Start + std::chrono::nanoseconds(whole + part);
    }

    // How many bytes may go now at the rate; all of them when rate is 0.
    std::size_t Due(Clock::time_point now, int rate) const {
        if (rate <= 0)
            return Bytes.size();
        const auto elapsed = static_cast<std::uint64_t>(
            std::max<std::int64_t>(0, std::chrono::nanoseconds(now - Start).count()));
        const auto r = static_cast<std::uint64_t>(rate);
        const std::uint64_t total = elapsed / NanosecondsPerByte10 * r +
                                    elapsed % NanosecondsPerByte10 * r / NanosecondsPerByte10;
        return std::min<std::size_t>(Bytes.size(), total > Sent ? total - Sent : 0);
    }

    // When the bench has to wake next for these bytes: the end of the next group.
    Clock::time_point NextWake(int rate) const {
        const auto group = static_cast<std::size_t>(
            std::max<std::int64_t>(1, std::int64_t{rate} * GroupSpan.count() / 10'000));
        return DueTime(Sent + std::min(Bytes.size(), group), rate);
    }

    // Writes up to count bytes; false when the handle has failed.
    bool Flush(int handle, std::size_t count) {
        Blocked = false;
        if (count == 0)
            return true;
        const platform::TransferResult put =
            platform::WriteSome(handle, std::string_view(Bytes).substr(0, count));
        Bytes.erase(0, put.Count);
        Sent += put.Count;
        Blocked = put.Count < count;
        return put.Error == 0 || put.Error == EAGAIN;
    }
};

struct SerialPortState final : PortLink {
    PortConfig Config;
    Device *Target = nullptr;
    QString LinkPath;
    platform::PtyMaster Pty;
    bool Plugged = false;
    Output Out;

    void Send(std::string_view bytes) override { Out.Append(bytes); }
    std::string Name() const override { return Config.Name; }
};

struct TcpState final : PortLink {
    TcpConfig Config;
    Device *Target = nullptr;
    int Listener = -1;
    int Connection = -1;
    std::uint16_t Port = 0;
    Output Out;

    ~TcpState() override {
        platform::CloseHandle(Connection);
        platform::CloseHandle(Listener);
    }
    void Send(std::string_view bytes) override {
        if (Connection >= 0)
            Out.Append(bytes);
    }
    std::string Name() const override { return "tcp" + std::to_string(Port); }
};

struct ControlClient {
    int Handle = -1;
    std::string In;
    std::string Out;
};

} // namespace

struct Bench::State {
    BenchSetup Setup;
    BenchOptions Options;
    const DeviceRegistry &Registry;
    QString Folder;

    mutable std::recursive_mutex Lock; // everything below, and every call into a device
    std::map<std::string, std::unique_ptr<Device>> Devices;
    std::vector<std::unique_ptr<SerialPortState>> Serial;
    std::vector<std::unique_ptr<TcpState>> Tcp;
    std::vector<ControlClient> Clients;
    int ControlListener = -1;
    bool Pacing = true;

    platform::WakeEvent Wake;
    std::thread Thread;
    std::atomic<bool> Stopping = false;
    std::atomic<bool> Quit = false;

    State(BenchSetup setup, BenchOptions options, const DeviceRegistry &registry)
        : Setup(std::move(setup))
        , Options(std::move(options))
        , Registry(registry)
        , Folder(Options.Folder.isEmpty() ? platform::BenchFolder() : Options.Folder)
        , Pacing(Options.Pacing) {}

    QString ControlPath() const { return QDir(Folder).filePath(QStringLiteral("control")); }

    void Publish();
    void Unpublish();
    void Plug(SerialPortState &port);
    void Unplug(SerialPortState &port);
    void Run();
    void Serve(std::vector<platform::PollEntry> &entries);
    void ReceiveSerial(SerialPortState &port);
    void ReceiveTcp(TcpState &port, bool listenerReady, bool connectionReady);
    void ServeClient(ControlClient &client);
    // Lets out what is due; returns when the next paced bytes are due (now + TickPeriod at the
    // latest).
    Clock::time_point FlushOutputs(Clock::time_point now);
    std::string ExecuteLocked(std::string_view line);
    SerialPortState *FindSerial(const std::string &name);
    // Runs a call into a device, reporting what it throws instead of ending the bench.
    template <typename F>
    void Guarded(const std::string &device, F &&call);
};

template <typename F>
void Bench::State::Guarded(const std::string &device, F &&call) {
    try {
        call();
    } catch (const std::exception &e) {
        std::cerr << "kalibra-bench: " << device << ": " << e.what() << std::endl;
    }
}

Bench::Bench(BenchSetup setup, BenchOptions options, const DeviceRegistry &registry)
    : FState(std::make_unique<State>(std::move(setup), std::move(options), registry)) {}

Bench::~Bench() {
    Stop();
}

void Bench::Start() {
    State &s = *FState;
    if (s.Thread.joinable())
        return;
    if (!QDir().mkpath(s.Folder))
        throw std::runtime_error("cannot create " + s.Folder.toStdString());
    if (const int other = platform::ConnectLocal(s.ControlPath()); other >= 0) {
        platform::CloseHandle(other);
        throw std::runtime_error("another bench runs in " + s.Folder.toStdString());
    }
    for (const DeviceConfig &config : s.Setup.Devices)
        s.Devices[config.Name] = s.Registry.Create(config);
    try {
        s.Publish();
    } catch (...) {
        s.Unpublish();
        throw;
    }
    s.Stopping = false;
    s.Quit = false;
    s.Thread = std::thread([&s] { s.Run(); });
}

void Bench::Stop() {
    State &s = *FState;
    if (s.Thread.joinable()) {
        s.Stopping = true;
        s.Wake.Wake();
        s.Thread.join();
    }
    const std::lock_guard guard(s.Lock);
    s.Unpublish();
}

bool Bench::QuitRequested() const {
    return FState->Quit;
}

void Bench::State::Publish() {
    // Leftovers of a bench that did not end cleanly.
    const QDir folder(Folder);
    for (const QString &stale :
         folder.entryList({QStringLiteral("ttyBENCH*")}, QDir::Files | QDir::System))
        platform::RemoveFile(folder.filePath(stale));
    for (size_t index = 0; index < Setup.Ports.size(); ++index) {
        auto port = std::make_unique<SerialPortState>();
        port->Config = Setup.Ports[index];
        port->Target = Devices.at(port->Config.Device).get();
        if (port->Config.Description.empty())
            port->Config.Description = port->Target->Description();
        port->LinkPath = folder.filePath(platform::BenchPortName(static_cast<int>(index)));
        QFile info(port->LinkPath + QStringLiteral(".port"));
        if (!info.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw std::runtime_error("cannot write " + info.fileName().toStdString());
        info.write(("name=" + port->Config.Name + "\nkind=" + port->Config.Kind + "\ndevice=" +
                    port->Config.Device + "\ndescription=" + port->Config.Description + "\n")
                       .c_str());
        Plug(*port);
        Serial.push_back(std::move(port));
    }
    for (const TcpConfig &config : Setup.Tcp) {
        auto port = std::make_unique<TcpState>();
        port->Config = config;
        port->Target = Devices.at(config.Device).get();
        if (const int error = platform::ListenTcp(config.Port, port->Listener); error != 0)
            throw std::runtime_error("TCP port " + std::to_string(config.Port) + ": " +
                                     SystemText(error));
        port->Port = platform::BoundPort(port->Listener);
        Tcp.push_back(std::move(port));
    }
    if (const int error = platform::ListenLocal(ControlPath(), ControlListener); error != 0)
        throw std::runtime_error(ControlPath().toStdString() + ": " + SystemText(error));
}

void Bench::State::Unpublish() {
    for (const auto &port : Serial) {
        Unplug(*port);
        platform::RemoveFile(port->LinkPath + QStringLiteral(".port"));
    }
    Serial.clear();
    Tcp.clear();
    for (const ControlClient &client : Clients)
        platform::CloseHandle(client.Handle);
    Clients.clear();
    if (ControlListener >= 0) {
        platform::CloseHandle(ControlListener);
        ControlListener = -1;
        platform::RemoveFile(ControlPath());
    }
    Devices.clear();
}

void Bench::State::Plug(SerialPortState &port) {
    if (port.Plugged)
        return;
    if (const int error = port.Pty.Open(); error != 0)
        throw std::runtime_error("pseudo-terminal: " + SystemText(error));
    if (const int error = platform::MakeSymlink(port.Pty.HostPath(), port.LinkPath); error != 0) {
        port.Pty.Close();
        throw std::runtime_error(port.LinkPath.toStdString() + ": " + SystemText(error));
    }
    port.Plugged = true;
}

void Bench::State::Unplug(SerialPortState &port) {
    if (!port.Plugged)
        return;
    platform::RemoveFile(port.LinkPath);
    port.Pty.Close();
    port.Out = Output{};
    port.Plugged = false;
}

void Bench::State::Run() {
    // Paced bytes are due to the microsecond; the waits for them must not end much later.
    platform::UsePreciseTimers();
    std::vector<platform::PollEntry> entries;
    while (!Stopping && !Quit) {
        entries.clear();
        Clock::time_point wake;
        {
            const std::lock_guard guard(Lock);
            wake = FlushOutputs(Clock::now());
            entries.push_back({Wake.Handle()});
            entries.push_back({ControlListener});
            for (const ControlClient &client : Clients)
                entries.push_back({client.Handle, !client.Out.empty()});
            for (const auto &port : Serial) {
                if (port->Plugged)
                    entries.push_back({port->Pty.Handle(), port->Out.Blocked});
            }
            for (const auto &port : Tcp) {
                entries.push_back({port->Listener});
                if (port->Connection >= 0)
                    entries.push_back({port->Connection, !port->Out.Bytes.empty()});
            }
        }
        platform::Poll(entries, wake - Clock::now());
        if (entries[0].Readable)
            Wake.Clear();
        const std::lock_guard guard(Lock);
        Serve(entries);
    }
    // Replies to the last commands, "quit" among them, still go out.
    const std::lock_guard guard(Lock);
    for (ControlClient &client : Clients)
        platform::WriteSome(client.Handle, client.Out);
}

void Bench::State::Serve(std::vector<platform::PollEntry> &entries) {
    // Entries were built from the same lists; a command run meanwhile may have changed them, in
    // which case this round only ticks and the next one polls the new set.
    const auto readable = [&](int handle) {
        for (const platform::PollEntry &entry : entries) {
            if (entry.Handle == handle)
                return entry.Readable;
        }
        return false;
    };
    if (readable(ControlListener)) {
        for (int handle = platform::Accept(ControlListener); handle >= 0;
             handle = platform::Accept(ControlListener))
            Clients.push_back({handle, {}, {}});
    }
    for (ControlClient &client : Clients) {
        if (readable(client.Handle) || !client.Out.empty())
            ServeClient(client);
    }
    std::erase_if(Clients, [](const ControlClient &client) { return client.Handle < 0; });
    for (const auto &port : Serial) {
        if (port->Plugged && readable(port->Pty.Handle()))
            ReceiveSerial(*port);
    }
    for (const auto &port : Tcp)
        ReceiveTcp(*port, readable(port->Listener),
                   port->Connection >= 0 && readable(port->Connection));
    const Clock::time_point now = Clock::now();
    for (const auto &[name, device] : Devices)
        Guarded(name, [&] { device->Tick(now); });
    FlushOutputs(now);
}

void Bench::State::ReceiveSerial(SerialPortState &port) {
    char buffer[ReadChunk];
    for (;;) {
        const platform::TransferResult got =
            platform::ReadSome(port.Pty.Handle(), buffer, sizeof buffer);
        if (got.Count == 0)
            return;
        // Bytes sent at another rate than the device listens at are noise to it.
        const unsigned lineRate = port.Pty.BaudRate();
        if (static_cast<int>(lineRate) != port.Target->BaudRate(port))
            continue;
        Guarded(port.Config.Device,
                [&] { port.Target->Receive(port, std::string_view(buffer, got.Count)); });
    }
}

void Bench::State::ReceiveTcp(TcpState &port, bool listenerReady, bool connectionReady) {
    if (listenerReady) {
        for (int handle = platform::Accept(port.Listener); handle >= 0;
             handle = platform::Accept(port.Listener)) {
            // One host at a time, as a device serves one TCP connection.
            if (port.Connection >= 0) {
                platform::CloseHandle(handle);
                continue;
            }
            port.Connection = handle;
            port.Out = Output{};
        }
    }
    if (!connectionReady)
        return;
    char buffer[ReadChunk];
    for (;;) {
        const platform::TransferResult got =
            platform::ReadSome(port.Connection, buffer, sizeof buffer);
        if (got.Count > 0) {
            Guarded(port.Config.Device,
                    [&] { port.Target->Receive(port, std::string_view(buffer, got.Count)); });
            continue;
        }
        if (got.Error != EAGAIN && got.Error != EINTR) {
            platform::CloseHandle(port.Connection);
            port.Connection = -1;
            port.Out = Output{};
        }
        return;
    }
}

void Bench::State::ServeClient(ControlClient &client) {
    char buffer[ReadChunk];
    bool closed = false;
    for (;;) {
        const platform::TransferResult got =
            platform::ReadSome(client.Handle, buffer, sizeof buffer);
        if (got.Count == 0) {
            closed = got.Error != EAGAIN && got.Error != EINTR;
            break;
        }
        client.In.append(buffer, got.Count);
    }
    for (size_t end = client.In.find('\n'); end != std::string::npos; end = client.In.find('\n')) {
        const std::string line = client.In.substr(0, end);
        client.In.erase(0, end + 1);
        client.Out += ExecuteLocked(line) + "\n";
    }
    const platform::TransferResult put = platform::WriteSome(client.Handle, client.Out);
    client.Out.erase(0, put.Count);
    if (closed || (put.Error != 0 && put.Error != EAGAIN)) {
        platform::CloseHandle(client.Handle);
        client.Handle = -1;
    }
}

Clock::time_point Bench::State::FlushOutputs(Clock::time_point now) {
    Clock::time_point wake = now + TickPeriod;
    for (const auto &port : Serial) {
        if (!port->Plugged || port->Out.Bytes.empty())
            continue;
        const int rate = Pacing ? port->Target->BaudRate(*port) : 0;
        // Paced bytes go as whole groups: a first byte that happens to be due while the device
        // is still answering waits for the rest of its group.
        if (rate <= 0 || now >= port->Out.NextWake(rate) || port->Out.Blocked)
            port->Out.Flush(port->Pty.Handle(), port->Out.Due(now, rate));
        // A full host side is polled for room instead of woken for on a timer.
        if (!port->Out.Bytes.empty() && rate > 0 && !port->Out.Blocked)
            wake = std::min(wake, port->Out.NextWake(rate));
    }
    for (const auto &port : Tcp) {
        if (port->Connection >= 0 && !port->Out.Flush(port->Connection, port->Out.Bytes.size())) {
            platform::CloseHandle(port->Connection);
            port->Connection = -1;
            port->Out = Output{};
        }
    }
    return wake;
}

SerialPortState *Bench::State::FindSerial(const std::string &name) {
    for (const auto &port : Serial) {
        if (port->Config.Name == name)
            return port.get();
    }
    return nullptr;
}

std::string Bench::Execute(std::string_view line) {
    std::string reply;
    {
        const std::lock_guard guard(FState->Lock);
        reply = FState->ExecuteLocked(line);
    }
    FState->Wake.Wake();
    return reply;
}

std::string Bench::State::ExecuteLocked(std::string_view line) {
    const std::vector<std::string> words = SplitWords(line);
    if (words.empty())
        return "error: empty command";
    const std::string &command = words[0];
    try {
        if (command == "help")
            return "ok list | unplug <port> | plug <port> | pacing on|off | kinds | quit | "
                   "<device> <command...>";
        if (command == "list") {
            std::string reply = "ok";
            const char *separator = " ";
            for (const auto &port : Serial) {
                reply += separator + port->Config.Name + " " + port->LinkPath.toStdString() + " " +
                         port->Config.Kind + " " + port->Config.Device +
                         (port->Plugged ? " plugged" : " unplugged");
                separator = "; ";
            }
            for (const auto &port : Tcp) {
                reply += separator + port->Name() + " 127.0.0.1:" + std::to_string(port->Port) +
                         " tcp " + port->Config.Device;
                separator = "; ";
            }
            return reply;
        }
        if (command == "kinds") {
            std::string reply = "ok";
            for (const auto &[kind, summary] : Registry.Kinds())
                reply += " " + kind;
            return reply;
        }
        if (command == "unplug" || command == "plug") {
            SerialPortState *port = words.size() == 2 ? FindSerial(words[1]) : nullptr;
            if (port == nullptr)
                return "error: " + command + " <port>: a serial port name from list";
            if (command == "plug")
                Plug(*port);
            else
                Unplug(*port);
            return "ok";
        }
        if (command == "pacing") {
            if (words.size() != 2 || (words[1] != "on" && words[1] != "off"))
                return "error: pacing on|off";
            Pacing = words[1] == "on";
            return "ok";
        }
        if (command == "quit") {
            Quit = true;
            return "ok";
        }
        const auto device = Devices.find(command);
        if (device == Devices.end())
            return "error: unknown command or device \"" + command + "\"";
        return device->second->Control(std::vector<std::string>(words.begin() + 1, words.end()));
    } catch (const std::exception &e) {
        return std::string("error: ") + e.what();
    }
}

std::vector<BenchPort> Bench::Ports() const {
    const std::lock_guard guard(FState->Lock);
    std::vector<BenchPort> ports;
    for (const auto &port : FState->Serial)
        ports.push_back({port->Config.Name, port->Config.Kind, port->Config.Device,
                         port->Config.Description, port->LinkPath, 0, port->Plugged});
    for (const auto &port : FState->Tcp)
        ports.push_back({port->Name(), "tcp", port->Config.Device, port->Target->Description(),
                         QString(), port->Port, true});
    return ports;
}

QString Bench::PortPath(const std::string &name) const {
    const std::lock_guard guard(FState->Lock);
    const SerialPortState *port = FState->FindSerial(name);
    return port != nullptr ? port->LinkPath : QString();
}

std::uint16_t Bench::TcpPort(const std::string &device) const {
    const std::lock_guard guard(FState->Lock);
    for (const auto &port : FState->Tcp) {
        if (port->Config.Device == device)
            return port->Port;
    }
    return 0;
}

QString Bench::Folder() const {
    return FState->Folder;
}

QString Bench::ControlPath() const {
    return FState->ControlPath();
}

void Bench::WithDevice(const std::string &name, const std::function<void(Device &)> &action) {
    const std::lock_guard guard(FState->Lock);
    const auto found = FState->Devices.find(name);
    if (found == FState->Devices.end())
        throw std::runtime_error("no device \"" + name + "\" on the bench");
    action(*found->second);
}

} // namespace sim
