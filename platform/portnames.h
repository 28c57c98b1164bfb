#pragma once

#include <QString>

namespace platform {

// Serial ports are keyed by a number that stays the same for a device node during the life of
// the process: ttyS<k> is k+1, ttyUSB<k> 101+k, ttyACM<k> 201+k, the virtual bench's ttyBENCH<k>
// 301+k; any other node gets a number from 1001 on the first time it is seen.
constexpr int FirstBenchPortNumber = 301;

// The number of a device node given by its name ("ttyUSB0") or path ("/dev/ttyUSB0");
// -1 for an empty name.
int SerialPortNumber(const QString &node);

// The name shown to the operator for a port number ("ttyUSB0"); "COM" + n for a number that
// maps to no node.
QString SerialPortName(int number);

// The path to open for a port name: "ttyUSB0" is /dev/ttyUSB0, a bench port lies in the bench
// folder, "COM<n>" is the node of number n, an absolute path stays as it is.
QString SerialPortPath(const QString &name);

// The folder where the virtual bench publishes its ports: $KALIBRA_BENCH_DIR, or
// "kalibra-bench" in the user's runtime folder.
QString BenchFolder();

// The bench's link name of its port k ("ttyBENCH0").
QString BenchPortName(int index);

} // namespace platform
