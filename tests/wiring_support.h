// Helpers shared by the board-wiring tests.
#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <string>

#include "app/main_form.h"
#include "sim/sim_jig.h"
#include "tests/support/fixture.h"
#include "tests/support/script_driver.h"
#include "wiring/pin_map.h"

namespace zjig::test {

// A program on a scripted driver, the link already open: every 'S' 'W', 'S'
// 'R' and other frame is acknowledged with 'A'; 'S' 'r' is answered with
// `levels`; 'T' frames with `tAnswer`.
struct ScriptedProgram {
    RecordingUi ui;
    ScriptDriver driver;
    TempDir dir;
    Program p{ui, driver, dir.Path()};
    std::array<uint8_t, 4> levels{0xFF, 0xFF, 0xFF, 0xFF};
    uint8_t tAnswer = '&';

    ScriptedProgram() {
        p.limits.idleMs = 200;
        FormCreate(p);
        driver.onWrite = [this](ScriptDriver& d, const std::vector<uint8_t>& f) {
            if (f.size() >= 2 && f[0] == 'S' && f[1] == 'r')
                d.rx.insert(d.rx.end(), levels.begin(), levels.end());
            else if (f.size() >= 2 && f[0] == 'T')
                d.rx.push_back(tAnswer);
            else
                d.rx.push_back('A');
        };
        p.link.handle = 1;
        p.link.isOpen = true;
    }
};

// The routing the CPLD registers hold: the signal code of every driven
// contact (3 = ZERO) and the read-back contact (0 when none).
struct CpldPicture {
    std::map<int, int> driven;
    int readBack = 0;
    friend bool operator==(const CpldPicture&, const CpldPicture&) = default;
};

inline CpldPicture Picture(const std::array<uint8_t, 256>& regs) {
    CpldPicture pic;
    for (int c = 1; c <= 32; ++c) {
        const int byte = (c - 1) / 8, bit = (c - 1) % 8;
        if (!((regs[16 + byte] >> bit) & 1)) continue;
        pic.driven[c] = (((regs[36 + byte] >> bit) & 1) << 1) | ((regs[32 + byte] >> bit) & 1);
    }
    if (regs[64] & 0x80) pic.readBack = (regs[64] & 0x1F) + 1;
    return pic;
}

inline std::string SourceData(const std::string& name) {
    return std::string(ZJIG_SOURCE_DIR) + "/data/" + name;
}

// Puts the example list of a family into the program's folder.
inline void CopyExampleList(SimProgram& s, const std::string& family) {
    const std::string name = MbListFileName(family);
    std::filesystem::copy_file(SourceData(name), s.dir / name,
                               std::filesystem::copy_options::overwrite_existing);
}

// Chooses a mode, a motherboard item, a cable item and the 1-to-1 box as the
// user does, firing the list handlers.
inline void Choose(Program& p, const std::string& mode, int mbItem, const std::string& cable,
                   bool oneToOne) {
    SelectMode(p, mode);
    p.form.SetItemIndex("ComboBox_MB", mbItem);
    Fire(p, "ComboBox_MBClick");
    const auto& items = kCableItems;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == cable) p.form.SetItemIndex("ComboBox_FFC", static_cast<int>(i));
    Fire(p, "ComboBox_FFCClick");
    p.form.SetChecked("CheckBox_OneToOne", oneToOne);
}

}  // namespace zjig::test
