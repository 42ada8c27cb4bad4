#include "maintenance/firmware_update.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/jobs.h"
#include "app/log.h"
#include "app/main_form.h"
#include "app/operation.h"
#include "app/program.h"
#include "link/jig_link.h"

namespace zjig {

namespace {

using Clock = std::chrono::steady_clock;

// The update's own link to device 0, closed on every way out of the job.
class UpdateLink {
public:
    explicit UpdateLink(FtDriver& driver) : driver_(driver) {}
    ~UpdateLink() { Close(); }
    void Close() {
        if (open_) driver_.Close(handle_);
        open_ = false;
        handle_ = kNoHandle;
    }
    UpdateLink(const UpdateLink&) = delete;
    UpdateLink& operator=(const UpdateLink&) = delete;

    // The single attached device, opened; false when the list fails, when
    // not exactly one device is attached or when it cannot be opened.
    bool OpenSingle() {
        uint32_t count = 0;
        if (driver_.CreateDeviceInfoList(count) != FtStatus::Ok || count != 1) return false;
        if (driver_.Open(0, handle_) != FtStatus::Ok) return false;
        open_ = true;
        return true;
    }
    void Configure(uint32_t timeoutMs) {
        // Results not examined, as for every setting of this link.
        driver_.ResetDevice(handle_);
        driver_.SetBaudRate(handle_, 921600);
        driver_.SetDataCharacteristics(handle_, kBits8, kStopBits1, kParityNone);
        driver_.SetTimeouts(handle_, timeoutMs, timeoutMs);
    }
    void Send(const uint8_t* data, uint32_t n) {
        uint32_t written = 0;
        driver_.Write(handle_, data, n, written);
    }
    void Send(uint8_t byte) { Send(&byte, 1); }
    // One read of one byte, waiting at most the read time-out; false when
    // nothing came.
    bool ReadOne(uint8_t& byte) {
        uint32_t got = 0;
        driver_.Read(handle_, &byte, 1, got);
        return got == 1;
    }
    FtStatus WaitForQueue(uint32_t n, uint32_t ms, uint32_t& rx) {
        return driver_.WaitForQueue(handle_, n, ms, rx);
    }
    std::vector<uint8_t> ReadAll(uint32_t n) {
        std::vector<uint8_t> bytes(n);
        uint32_t got = 0;
        if (n) driver_.Read(handle_, bytes.data(), n, got);
        bytes.resize(got);
        return bytes;
    }
    void PurgeBoth() { driver_.Purge(handle_, kPurgeRx | kPurgeTx); }

private:
    FtDriver& driver_;
    FtHandle handle_ = kNoHandle;
    bool open_ = false;
};

std::string HexAnswer(const std::vector<uint8_t>& bytes) {
    std::string text;
    char hex[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i == 3) text += ' ';
        std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
        text += hex;
    }
    return text;
}

}  // namespace

void Timer_updateTimer(Program& p) { p.State<FirmwareUpdateState>().ResetWaitExpired = true; }

void FirmwareUpdateJob(Program& p) {
    auto& st = p.State<FirmwareUpdateState>();
    ++st.runs;
    UpdateLink link(p.driver);
    // Every way out: the device closed before "NONE" lets the next operation in.
    auto end = [&](bool success) {
        link.Close();
        RecordOutcome(p, success);
        p.CurrentJob.Set("NONE");
    };

    ApplyUiState(p, "ALL OFF");
    p.form.SetItemIndex("CBox_Selector", 0);
    // The checked opening has closed JigLink before starting the job; the
    // update's link must not find the device still held.
    CloseJigLink(p);

    // The image: 131072 bytes of 0xFF loaded with at most 131072 file bytes,
    // followed by one more page of 0xFF. The page loop sends L div 128 + 1
    // pages, so a file of exactly 131072 bytes ends with that extra page of
    // fill instead of reading past the image.
    std::vector<uint8_t> image(kFirmwareImageSize + kFirmwarePageSize, 0xFF);
    size_t length = 0;
    {
        std::ifstream file(p.DataFile(kFirmwareFileName), std::ios::binary);
        if (!file.is_open()) {
            AppendLog(p, std::string("Not found FW update file: ") + kFirmwareFileName + "\n",
                      colors::Red);
            end(false);
            return;
        }
        file.read(reinterpret_cast<char*>(image.data()),
                  static_cast<std::streamsize>(kFirmwareImageSize));
        length = static_cast<size_t>(file.gcount());
    }
    if (length == 0) {
        end(false);
        return;
    }

    AppendLog(p, "Please wait, update FW JIG\n", colors::Blue);
    const std::string current = p.JigVersion.Get();
    if (current.empty()) {
        AppendLog(p, "Current FW ", colors::Blue);
        AppendLog(p, "NONE\n", colors::Red);
    } else {
        AppendLog(p, "Current FW " + current + "\n", colors::Blue);
    }
    AppendLog(p, std::string("New FW     ") + kExpectedFirmwareVersion + "\n", colors::Blue);
    AppendLog(p, "Loaded to buffer bytes (dec): " + std::to_string(length) + "\n", colors::Blue);

    if (!link.OpenSingle()) {
        end(false);
        return;
    }
    link.Configure(st.readTimeoutMs.load());

    // Pop-up and Timer_update; the timer is a deadline the worker checks
    // between probes.
    p.form.SetVisible("TForm_message", true);
    st.ResetWaitExpired = false;
    const auto resetDeadline = Clock::now() + std::chrono::milliseconds(st.resetWaitMs.load());

    std::vector<uint8_t> answer;
    for (;;) {
        link.Send('+');
        // The status query of the probe, waiting a short slice for the
        // bootloader's answer instead of spinning; a failure means the
        // device is gone.
        uint32_t queued = 0;
        if (link.WaitForQueue(7, st.probeSliceMs.load(), queued) != FtStatus::Ok) {
            p.form.SetVisible("TForm_message", false);
            AppendLog(p, "FTDI removed !\n\n", colors::Red);
            end(false);
            return;
        }
        if (queued >= 7) {
            p.form.SetVisible("TForm_message", false);
            answer = link.ReadAll(queued);
            if (answer.size() >= 3 && answer[0] == 'V' && answer[2] == 'S') break;
            link.PurgeBoth();
        }
        if (Clock::now() >= resetDeadline) Timer_updateTimer(p);
        if (st.ResetWaitExpired) {
            p.form.SetVisible("TForm_message", false);
            AppendLog(p, "The user did not click the reset button!\n\n", colors::Red);
            end(false);
            return;
        }
    }

    AppendLog(p, "Bootloader answer -> " + std::to_string(answer.size()) + " bytes\n",
              colors::Blue);
    AppendLog(p, "Readed bytes (hex)  -> " + HexAnswer(answer) + "\n", colors::Blue);
    AppendLog(p, "Bootloader M328 answer OK\n", colors::Blue);

    p.gauge.SetProgress(0);
    p.gauge.SetColor(colors::Blue);
    p.gauge.SetMaximum(static_cast<int>(length / kFirmwarePageSize));

    size_t sent = 0;
    do {
        uint8_t reply = 0;
        link.Send('W');
        if (!link.ReadOne(reply)) {
            AppendLog(p, "ERROR communication! Update stopped.(R)\n\n", colors::Red);
            end(false);
            return;
        }
        if (reply != 'G') {
            AppendLog(p, "ERROR protocol! Update stopped.(G)\n\n", colors::Red);
            end(false);
            return;
        }
        link.Send(image.data() + sent, static_cast<uint32_t>(kFirmwarePageSize));
        sent += kFirmwarePageSize;
        if (!link.ReadOne(reply)) {
            AppendLog(p, "ERROR communication! Update stopped.(R)\n\n", colors::Red);
            end(false);
            return;
        }
        if (reply != '+') {
            AppendLog(p, "ERROR protocol! Update stopped.(+)\n\n", colors::Red);
            end(false);
            return;
        }
        p.gauge.AddOne();
    } while (length >= sent);

    link.Send('X');
    AppendLog(p, "UPDATE completed successfully.\n\n", colors::Blue);
    end(true);
}

void RegisterFirmwareUpdate(Program& p) {
    p.jobs.Register(job_order::kFwUpdate, "FWUPDATE", false, FirmwareUpdateJob);
    p.handlers["Timer_updateTimer"] = Timer_updateTimer;
}

}  // namespace zjig
