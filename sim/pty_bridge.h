// A simulated FTDI device behind a real pseudo-terminal, so that the tty
// backend of the driver interface (and the kernel's tty layer under it) can
// be run against the simulated JIG.
//
// Two pump threads join the pseudo-terminal's master side to the host side of
// a SimSerial: what the program writes to the slave goes to the device with
// HostWrite; what the device sends (HostRead) is written to the master. When
// the device is unplugged, the bridge hangs the pseudo-terminal up (closes
// the master), as the kernel does with a ttyUSB whose adapter is pulled.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "sim/sim_serial.h"

namespace zjig::sim {

// A pseudo-terminal pair: the master file, and a file kept open on the slave
// so that the master does not see a hang-up while nobody else has the slave
// open. The slave is opened again by its path.
class PtyPair {
public:
    // Throws std::system_error when no pseudo-terminal can be had.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int Master() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }
    // Closes the master (and the kept slave file): every open slave file sees
    // a hang-up. Safe to call twice.
    void HangUp();

private:
    int master_ = -1;
    int slaveKeeper_ = -1;
    std::string slavePath_;
};

class PtyBridge {
public:
    // Starts pumping at once. Throws std::system_error when no pseudo-terminal
    // can be had.
    explicit PtyBridge(std::shared_ptr<SimSerial> device);
    // Stops the pumps (within about 50 ms) and closes the pseudo-terminal.
    ~PtyBridge();
    PtyBridge(const PtyBridge&) = delete;
    PtyBridge& operator=(const PtyBridge&) = delete;

    // The path the program opens (/dev/pts/N).
    const std::string& SlavePath() const { return pty_.SlavePath(); }
    // True once the device was found gone and the pseudo-terminal hung up.
    bool HungUp() const { return hungUp_; }

private:
    void ToDevice();  // master -> device; also hangs up and ends the bridge
    void ToHost();    // device -> master

    std::shared_ptr<SimSerial> device_;
    PtyPair pty_;
    int stopFd_ = -1;  // eventfd, signalled once and never drained: "end now"
    std::atomic<bool> stopping_{false};
    std::atomic<bool> deviceGone_{false};
    std::atomic<bool> hungUp_{false};
    std::thread toDevice_, toHost_;
};

}  // namespace zjig::sim
