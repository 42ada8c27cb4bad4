#include "app/main_form.h"

#include <cstdio>
#include <map>

#include "app/log.h"
#include "app/operation.h"
#include "link/jig_link.h"

namespace zjig {

std::string FormatProgramVersion(unsigned major, unsigned minor, unsigned patch, unsigned build) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", major & 0xFFFF, minor & 0xFFFF, patch & 0xFFFF,
                  build & 0xFF);
    return buf;
}

std::string BuildProgramVersion() {
#if defined(ZJIG_VERSION_MAJOR) && defined(ZJIG_VERSION_MINOR) && defined(ZJIG_VERSION_PATCH) && \
    defined(ZJIG_VERSION_TWEAK)
    return FormatProgramVersion(ZJIG_VERSION_MAJOR, ZJIG_VERSION_MINOR, ZJIG_VERSION_PATCH,
                                ZJIG_VERSION_TWEAK);
#else
    return "NOT FOUND";
#endif
}

std::string MainCaption(const std::string& version) {
    return std::string(kAppTitle) + " ver. " + version + "    (only for pcb ver. 3.X)";
}

const std::vector<WebLink>& WebLinks() {
    static const std::vector<WebLink> links = {
        {"BitBtn_ytb", "Video guides",
         "https://www.youtube.com/results?search_query=laptop+EC+KB9012+programming"},
        {"BitBtn_sup1", "Forum (2)", "https://www.badcaps.net/forum/"},
        {"BitBtn_sup", "Forum (1)", "https://www.eevblog.com/forum/repair/"},
    };
    return links;
}

namespace {

ControlState Ctl(std::string text = {}, bool enabled = true, bool visible = true) {
    ControlState c;
    c.text = std::move(text);
    c.enabled = enabled;
    c.visible = visible;
    return c;
}

ControlState List(std::vector<std::string> items, int index) {
    ControlState c;
    c.items = std::move(items);
    c.itemIndex = index;
    c.text = index >= 0 ? c.items[static_cast<size_t>(index)] : std::string{};
    return c;
}

void DefineControls(Program& p) {
    auto& f = p.form;
    f.Define("TForm_MAIN", Ctl(kAppTitle));
    f.Define("TForm_message", Ctl("", true, false));
    f.Define("TENE_for_solder", Ctl("ENE point for soldering", true, false));
    f.Define("TForm_KEYB", Ctl("Keyboard test ", true, false));
    f.Define("TForm_MEC", Ctl("MEC point for soldering", true, false));

    f.Define("CBox_Selector", List(kModeItems, 0));
    f.Define("BitBtn_Settings", Ctl("View Settings/Log"));
    f.Define("BitBtn_CheckConn", Ctl("Check connection"));
    f.Define("BitBtn_READ", Ctl("READ"));
    f.Define("BitBtn_WRITE", Ctl("WRITE"));
    f.Define("RichEdit", Ctl());
    f.Define("GroupBox1", Ctl(" Settings  for MB via FFC cable "));
    f.Define("ComboBox_MB", List({"Select MB"}, 0));
    f.Define("ComboBox_FFC", List(kCableItems, 0));
    ControlState oneToOne = Ctl("   << 1 pin JIG connected to 1 pin kb_conn MB");
    oneToOne.checked = true;
    f.Define("CheckBox_OneToOne", oneToOne);
    ControlState radio = List({"ENE", "ITE", "Nuvoton"}, -1);
    radio.enabled = false;
    f.Define("RadioGroup_EXT_BOARD", radio);
    f.Define("GroupBoxMEC", Ctl(" Settings for MEC chip"));
    f.Define("ComboBox_MEC_CHIP", List({}, -1));
    f.Define("ComboBox_MEC_flash_info", List({}, -1));
    f.Define("BitBtn_clear", Ctl("Clear log"));
    f.Define("BitBtn_SendSettings", Ctl("Send settings to the programmer"));
    for (const auto& link : WebLinks()) f.Define(link.control, Ctl(""));
}

}  // namespace

void FormCreate(Program& p) {
    DefineControls(p);
    ShowLog(p);
    ApplyUiState(p, "ALL OFF");
    p.form.SetText("TForm_MAIN", MainCaption(p.programVersion));
    for (const auto& link : WebLinks()) p.form.SetText(link.control, link.caption);
}

void ShowLog(Program& p) { p.form.SetVisible("RichEdit", true); }

void ApplyUiState(Program& p, const std::string& name) {
    auto& f = p.form;
    auto set = [&](const char* c, bool on) { f.SetEnabled(c, on); };
    if (name == "ALL OFF") {
        for (const char* c : {"BitBtn_Settings", "BitBtn_READ", "BitBtn_WRITE", "ComboBox_MB",
                              "ComboBox_FFC", "BitBtn_SendSettings", "CheckBox_OneToOne",
                              "RadioGroup_EXT_BOARD", "ComboBox_MEC_CHIP",
                              "ComboBox_MEC_flash_info"})
            set(c, false);
        set("BitBtn_CheckConn", true);
    } else if (name == "ENE_ITE_ON") {
        set("BitBtn_Settings", true);
        set("BitBtn_READ", false);
        set("BitBtn_WRITE", false);
        set("ComboBox_MB", true);
        set("ComboBox_FFC", true);
        set("BitBtn_SendSettings", false);
        set("CheckBox_OneToOne", true);
        f.SetVisible("RichEdit", false);
    } else if (name == "NUVOTON_JTAG") {
        set("BitBtn_Settings", true);
        set("BitBtn_READ", false);
        set("BitBtn_WRITE", false);
        set("ComboBox_MB", true);
        f.SetItemIndex("ComboBox_MB", 0);
        set("ComboBox_FFC", false);
        f.SetItemIndex("ComboBox_FFC", 0);
        set("BitBtn_SendSettings", true);
        set("CheckBox_OneToOne", true);
        f.SetVisible("RichEdit", false);
    } else if (name == "RD_WR_ON") {
        set("BitBtn_READ", true);
        set("BitBtn_WRITE", true);
    } else if (name == "RD_WR_OFF") {
        set("BitBtn_READ", false);
        set("BitBtn_WRITE", false);
    } else if (name == "NUVOTON_SPI_ON") {
        set("BitBtn_Settings", false);
        set("BitBtn_READ", true);
        set("BitBtn_WRITE", true);
        set("ComboBox_MB", false);
        set("ComboBox_FFC", false);
        set("BitBtn_SendSettings", false);
        set("CheckBox_OneToOne", false);
    }
}

Family FindFamily(Program& p, bool forCheck) {
    const std::string text = p.form.Text("CBox_Selector");
    const int radio = p.form.ItemIndex("RadioGroup_EXT_BOARD");
    const bool external = text.find("External") != std::string::npos;
    const bool sent = !forCheck || p.SettingsSent.load();
    auto has = [&](const char* s) { return text.find(s) != std::string::npos; };

    if ((has("ENE") && sent) || (external && radio == 0)) return Family::Ene;
    if (has("Nuvoton SPI") || (external && radio == 2)) return Family::NuvotonSpi;
    if ((has("ITE") && sent) || (external && radio == 1)) return Family::Ite;
    if (!forCheck && text == "EDID (LCD)") return Family::Edid;
    if (text == "Nuvoton JTAG" && sent) return Family::NuvotonJtag;
    if (has("MEC")) return Family::Mec;
    return Family::None;
}

void CBox_SelectorClick(Program& p) {
    if (!p.CurrentJob.Is("NONE")) return;
    ApplyUiState(p, "ALL OFF");
    p.SettingsSent = false;
    p.form.SetVisible("TENE_for_solder", false);
    p.gauge.SetProgress(0);
    p.form.SetItemIndex("RadioGroup_EXT_BOARD", -1);

    const std::string text = p.form.Text("CBox_Selector");
    AppendLog(p, "================================\n", colors::Purple);
    AppendLog(p, "Soft version  --> " + p.programVersion + "\n", colors::Purple);
    AppendLog(p, "Mode selected --> " + text + "\n", colors::Purple);

    auto notFound = [&](const char* file) {
        AppendLog(p, "Not found file: ", colors::Red);
        AppendLog(p, std::string(file) + "\n", colors::Black);
    };
    auto loadList = [&](const char* family) {
        return p.modes.loadMbList ? p.modes.loadMbList(p, family) : -1;
    };

    if (text == "ENE  (KB90XX)" || text == "ITE  (IT8XXX)") {
        const bool ene = text == "ENE  (KB90XX)";
        if (!p.modes.loadMbList) return;  // board wiring not built
        if (loadList(ene ? "ENE" : "ITE") == 0)
            ApplyUiState(p, "ENE_ITE_ON");
        else
            notFound(ene ? "MB connection ENE.txt" : "MB connection ITE.txt");
    } else if (text == "Nuvoton SPI") {
        ApplyUiState(p, "NUVOTON_SPI_ON");
        ShowLog(p);
    } else if (text == "Keyboard test") {
        ShowLog(p);
        if (p.modes.startKeyboardTest) p.modes.startKeyboardTest(p);
    } else if (text == "EDID (LCD)") {
        ShowLog(p);
        ApplyUiState(p, "RD_WR_ON");
    } else if (text == "Nuvoton JTAG") {
        ApplyUiState(p, "NUVOTON_JTAG");
        if (p.modes.loadMbList && loadList("NUVOTON") != 0) notFound("MB connection NUVOTON.txt");
    } else if (text == "MEC JTAG") {
        if (!p.modes.loadMecList) return;
        int r = p.modes.loadMecList(p);
        if (r == 1) {
            notFound("MEC settings.txt");
        } else if (r == 2) {
            AppendLog(p, "Parameter error in file: ", colors::Red);
            AppendLog(p, "MEC settings.txt\n", colors::Black);
        } else {
            p.form.SetVisible("TForm_MEC", true);
            p.form.SetEnabled("BitBtn_Settings", true);
            p.form.SetEnabled("BitBtn_READ", true);
            p.form.SetEnabled("BitBtn_WRITE", true);
            p.form.SetVisible("RichEdit", false);
        }
    } else if (text == "External board") {
        p.form.SetEnabled("BitBtn_CheckConn", false);
        p.form.SetEnabled("RadioGroup_EXT_BOARD", true);
        p.form.SetVisible("RichEdit", false);
    }
}

void SelectMode(Program& p, const std::string& item) {
    if (!p.CurrentJob.Is("NONE")) return;
    const auto& items = kModeItems;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i] == item) {
            p.form.SetItemIndex("CBox_Selector", static_cast<int>(i));
            CBox_SelectorClick(p);
            return;
        }
    }
}

void BitBtn_CheckConnClick(Program& p) {
    if (!p.CurrentJob.Is("NONE")) return;
    ShowLog(p);
    AppendTimestampLine(p);
    BeginOperation(p);
    RunGuarded(p, [&] {
        if (!OpenJigLinkChecked(p)) return;
        const Family family = FindFamily(p, true);
        auto it = p.families.find(family);
        if (family == Family::None)
            AppendLog(p, "\n", colors::Black);
        else if (it != p.families.end() && it->second.check)
            it->second.check(p);
        // A job started by the branch owns the link from now on.
        if (p.CurrentJob.Is("NONE")) CloseJigLink(p);
    });
}

namespace {

void ReadOrWrite(Program& p, bool write) {
    if (!p.CurrentJob.Is("NONE")) return;
    ShowLog(p);
    BeginOperation(p);
    RunGuarded(p, [&] {
        if (!OpenJigLink(p, false)) {
            ApplyUiState(p, "ALL OFF");
            p.SettingsSent = false;
            p.form.SetVisible("TENE_for_solder", false);
            p.form.SetItemIndex("CBox_Selector", 0);
            AppendLog(p, "Error communication to JIG (READ)\n", colors::Red);
            return;
        }
        const Family family = FindFamily(p, false);
        auto it = p.families.find(family);
        if (family == Family::None || it == p.families.end()) {
            CloseJigLink(p);
            return;
        }
        const FamilyBranches& b = it->second;
        if ((family == Family::Ene || family == Family::NuvotonSpi) && b.checkBeforeTransfer &&
            !b.checkBeforeTransfer(p)) {
            CloseJigLink(p);
            return;
        }
        const auto& branch = write ? b.write : b.read;
        if (branch)
            branch(p);
        else
            CloseJigLink(p);
    });
}

}  // namespace

void BitBtn_READClick(Program& p) { ReadOrWrite(p, false); }
void BitBtn_WRITEClick(Program& p) { ReadOrWrite(p, true); }

void BitBtn_SettingsClick(Program& p) { p.form.SetVisible("RichEdit", !p.form.Visible("RichEdit")); }

void BitBtn_clearClick(Program& p) { p.ui.ClearLog(); }

namespace {
void OpenLink(Program& p, const char* control) {
    for (const auto& link : WebLinks())
        if (std::string(link.control) == control) p.ui.OpenUrl(link.url);
}
}  // namespace

void BitBtn_supClick(Program& p) { OpenLink(p, "BitBtn_sup"); }
void BitBtn_sup1Click(Program& p) { OpenLink(p, "BitBtn_sup1"); }
void BitBtn_ytbClick(Program& p) { OpenLink(p, "BitBtn_ytb"); }

bool Fire(Program& p, const std::string& handler) {
    auto it = p.handlers.find(handler);
    if (it == p.handlers.end() || !it->second) return false;
    it->second(p);
    return true;
}

bool FormCloseQuery(Program& p) { return p.CurrentJob.Is("NONE"); }

}  // namespace zjig
