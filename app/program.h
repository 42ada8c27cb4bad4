// Program-wide state: everything the handlers and jobs share, owned by one
// Program object for the whole run (tests create as many as they like).
#pragma once

#include <any>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <vector>

#include "app/form_model.h"
#include "app/jobs.h"
#include "app/image_files.h"
#include "app/log.h"
#include "app/operation.h"
#include "app/ui_port.h"
#include "link/ft_driver.h"
#include "link/jig_link.h"
#include "link/waits.h"

namespace zjig {

// A text read and written as a whole from both threads.
class SharedText {
public:
    explicit SharedText(std::string v) : value_(std::move(v)) {}
    std::string Get() const {
        std::lock_guard lock(m_);
        return value_;
    }
    void Set(const std::string& v) {
        std::lock_guard lock(m_);
        value_ = v;
    }
    bool Is(const std::string& v) const {
        std::lock_guard lock(m_);
        return value_ == v;
    }
    bool Contains(const std::string& v) const {
        std::lock_guard lock(m_);
        return value_.find(v) != std::string::npos;
    }

private:
    mutable std::mutex m_;
    std::string value_;
};

// Chip families as the three main buttons find them.
enum class Family { None, Ene, NuvotonSpi, Ite, Edid, NuvotonJtag, Mec };

// The branches a family offers to "Check connection", READ and WRITE. An
// empty function means the family does not offer that branch (yet).
struct FamilyBranches {
    // The "Check connection" branch (EneCheckConnection, IteStartCheck, ...).
    std::function<void(Program&)> check;
    // The connection check that READ and WRITE run first (ENE, Nuvoton SPI);
    // false: READ/WRITE close the link and stop.
    std::function<bool(Program&)> checkBeforeTransfer;
    std::function<void(Program&)> read;
    std::function<void(Program&)> write;
};

// Calls the mode selection makes into other subsystems; empty when that
// subsystem is not built.
struct ModeHooks {
    // Loads a motherboard list ("ENE", "ITE", "NUVOTON"); 0 when loaded.
    std::function<int(Program&, const std::string& family)> loadMbList;
    // Loads the MEC chip list: 1 not found, 2 parameter error, else loaded.
    std::function<int(Program&)> loadMecList;
    // Starts the keyboard test.
    std::function<void(Program&)> startKeyboardTest;
};

struct Program {
    Program(UiPort& ui, FtDriver& driver, std::filesystem::path dataDir);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    UiPort& ui;
    FtDriver& driver;
    // The folder of the lists, the script and the firmware file (the
    // program's own folder unless --data-dir says otherwise).
    std::filesystem::path dataDir;
    std::string programVersion;  // "1.0.0.0" as shown in the caption

    FormModel form;
    Gauge gauge;
    WaitLimits limits;
    JigLink link;

    SharedText CurrentJob{"NONE"};
    SharedText JigVersion{""};
    std::atomic<bool> SettingsSent{false};
    SharedText TimeoutFlag{"OK"};

    ImageFiles files;
    Jobs jobs;
    // The operation running now (window handler or job): what it disabled
    // and how a failed wait ends it.
    Operation op;

    std::map<Family, FamilyBranches> families;
    ModeHooks modes;
    // Event handlers of controls owned by other subsystems, by the handler's
    // name ("ComboBox_MBClick", "BitBtn_SendSettingsClick", "ClearClick", ...).
    // The windows and the command-line front end run them with Fire().
    std::map<std::string, std::function<void(Program&)>> handlers;

    // Per-subsystem state (pin maps, routing, block counters, keyboard
    // state, ...): each subsystem defines its own struct and reaches it here.
    template <class T>
    T& State() {
        std::lock_guard lock(stateMutex_);
        auto& slot = states_[std::type_index(typeid(T))];
        if (!slot) slot = std::make_shared<T>();
        return *std::static_pointer_cast<T>(slot);
    }

    std::filesystem::path DataFile(const std::string& name) const { return dataDir / name; }

private:
    std::mutex stateMutex_;
    std::map<std::type_index, std::shared_ptr<void>> states_;
};

}  // namespace zjig
