// kalibra-bench: runs a virtual bench until interrupted or told "quit" on its control socket.
#include "platform/benchio.h"
#include "sim/bench.h"

#include <QFile>
#include <cstring>
#include <iostream>

namespace {

void Usage() {
    std::cout << "usage: kalibra-bench [--setup FILE] [--folder DIR] [--no-pacing]\n"
                 "                     [--print-setup] [--kinds]\n"
                 "Runs the bench of FILE (default: the built-in setup) with its ports in DIR\n"
                 "(default: $KALIBRA_BENCH_DIR, else $XDG_RUNTIME_DIR/kalibra-bench).\n";
}

} // namespace

int main(int argc, char **argv) {
    QString setupFile;
    sim::BenchOptions options;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--setup") == 0 && hasValue) {
            setupFile = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--folder") == 0 && hasValue) {
            options.Folder = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--no-pacing") == 0) {
            options.Pacing = false;
        } else if (std::strcmp(argv[i], "--print-setup") == 0) {
            std::cout << sim::BenchSetup::DefaultText();
            return 0;
        } else if (std::strcmp(argv[i], "--kinds") == 0) {
            for (const auto &[kind, summary] : sim::DefaultRegistry().Kinds())
                std::cout << kind << ": " << summary << "\n";
            return 0;
        } else {
            Usage();
            return std::strcmp(argv[i], "--help") == 0 ? 0 : 2;
        }
    }
    try {
        sim::BenchSetup setup = sim::BenchSetup::Default();
        if (!setupFile.isEmpty()) {
            QFile file(setupFile);
            if (!file.open(QIODevice::ReadOnly))
                throw std::runtime_error(setupFile.toStdString() + ": " +
                                         file.errorString().toStdString());
            setup = sim::BenchSetup::Parse(file.readAll().toStdString());
        }
        platform::BlockTerminationSignals();
        sim::Bench bench(std::move(setup), options);
        bench.Start();
        for (const sim::BenchPort &port : bench.Ports()) {
            const std::string where = port.Path.isEmpty()
                                          ? "127.0.0.1:" + std::to_string(port.TcpPort)
                                          : port.Path.toStdString();
            std::cout << where << "  " << port.Kind << "  " << port.Device << ": "
                      << port.Description << "\n";
        }
        std::cout << "control: " << bench.ControlPath().toStdString() << std::endl;
        while (!bench.QuitRequested() &&
               !platform::WaitForTerminationSignal(std::chrono::milliseconds{200})) {
        }
        bench.Stop();
    } catch (const std::exception &e) {
        std::cerr << "kalibra-bench: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
