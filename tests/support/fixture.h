// A program on a simulated JIG, with a recording user interface and a
// temporary folder for data and image files.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "app/program.h"
#include "app/subsystems.h"
#include "sim/sim_driver.h"
#include "sim/sim_jig.h"
#include "tests/support/recording_ui.h"

namespace zjig::test {

// A fresh temporary folder, removed at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    void Write(const std::string& name, const std::string& bytes) const;
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
    std::vector<uint8_t> Read(const std::string& name) const;

private:
    std::filesystem::path path_;
};

struct SimProgram {
    // A JIG with the given firmware version on the simulated USB, a program
    // whose data folder is a temporary folder, all subsystems registered and
    // the main window created. Waits are limited to idleMs.
    explicit SimProgram(std::string version = "M328_EPM240_v20", uint32_t idleMs = 1000);
    ~SimProgram();

    // Waits for the worker to finish; false after the limit.
    bool WaitIdle(std::chrono::milliseconds limit = std::chrono::seconds(30));

    TempDir dir;
    RecordingUi ui;
    sim::SimDriver driver;
    std::unique_ptr<sim::SimJig> jig;
    std::unique_ptr<Program> program;
    Program& p() { return *program; }
};

std::vector<uint8_t> Bytes(std::initializer_list<int> values);

}  // namespace zjig::test
