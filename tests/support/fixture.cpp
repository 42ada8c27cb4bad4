#include "tests/support/fixture.h"

#include <atomic>
#include <random>

#include "sim/bench.h"

namespace zjig::test {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("zjig-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void TempDir::Write(const std::string& name, const std::string& bytes) const {
    std::ofstream f(path_ / name, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void TempDir::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream f(path_ / name, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> TempDir::Read(const std::string& name) const {
    std::ifstream f(path_ / name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

SimProgram::SimProgram(std::string version, uint32_t idleMs) {
    jig = std::make_unique<sim::SimJig>(std::move(version));
    sim::InstallSimModules(*jig);
    jig->PowerOn();
    driver.Plug(jig->Serial());
    program = std::make_unique<Program>(ui, driver, dir.Path());
    program->limits.idleMs = idleMs;
    program->limits.failureMarkMs = 200;
    RegisterSubsystems(*program);
    FormCreate(*program);
}

SimProgram::~SimProgram() {
    WaitIdle(std::chrono::seconds(60));
    program.reset();
    jig.reset();
}

bool SimProgram::WaitIdle(std::chrono::milliseconds limit) { return program->jobs.WaitIdle(limit); }

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) out.push_back(static_cast<uint8_t>(v));
    return out;
}

}  // namespace zjig::test
