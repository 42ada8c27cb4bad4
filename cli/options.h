// Options shared by the window program and the command-line front end: which
// JIG to talk to and where the data files lie. Without options the program
// searches the attached FTDI devices and reads its files from its own folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zjig {

struct ProgramOptions {
    // --simulate: the built-in simulated JIG with its default bench.
    bool simulate = false;
    // --port PATH: this one serial device instead of the search.
    std::optional<std::string> port;
    // --data-dir DIR: the lists, the script and the firmware file lie here.
    std::optional<std::filesystem::path> dataDir;
    // --sim-firmware TEXT (with --simulate): the firmware version the
    // simulated JIG runs, to show the firmware update.
    std::optional<std::string> simulatedFirmware;
    // --sim-bench NAME (with --simulate): what is attached to the simulated
    // JIG (see SimBenchNames()); the default is the example motherboard on a
    // 30-contact straight cable.
    std::optional<std::string> simulatedBench;
};

// The names --sim-bench accepts.
const std::vector<std::string>& SimBenchNames();

// Takes the shared options (as "--name value" or "--name=value") out of args,
// leaving every other argument in order. False with a message on a usage
// error (missing value, --simulate with --port, ...).
bool TakeProgramOptions(std::vector<std::string>& args, ProgramOptions& options,
                        std::string& error);

// The folder of the running executable.
std::filesystem::path ExecutableDir();

// The data folder the options select: --data-dir, else the executable's folder.
std::filesystem::path DataDir(const ProgramOptions& options);

// The usage lines of the shared options.
const char* ProgramOptionsHelp();

}  // namespace zjig
