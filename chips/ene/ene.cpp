#include "chips/ene/ene.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/image_files.h"
#include "app/jobs.h"
#include "app/log.h"
#include "app/operation.h"
#include "link/protocol.h"
#include "wiring/ext_board.h"

namespace zjig {

namespace {

constexpr uint8_t kBlockGood = 'G';
constexpr uint8_t kBlockFailed = 'E';

// Whether the running ENE operation switched the external board's supply on
// (kept from its start: the selector is disabled while the job runs).
struct EneExternal {
    std::atomic<bool> on{false};
};

std::string NoConnectionText(bool external) {
    std::string text = "\n No connection to the KB90XX!\n";
    text += external ? " Check the ground !\n External board is powered ?\n\n"
                     : " Check the settings !\n Motherboard is connected / powered ?\n\n";
    return text;
}

std::string Of512(int block) { return std::to_string(block) + " of " + std::to_string(kEneBlocks); }

std::string ByteText(uint8_t b) {
    char buf[16];
    if (b >= 0x20 && b < 0x7F)
        std::snprintf(buf, sizeof buf, "'%c' (0x%02X)", b, b);
    else
        std::snprintf(buf, sizeof buf, "0x%02X", b);
    return buf;
}

void SendNoAnswer(Program& p, uint8_t byte) { SendJigCommand(p.link, "ByteSendNoReadByte", byte); }

void SupplyOn(Program& p) {
    p.op.beforeFailureMark.push_back([](Program& q) { ExtBoardPower(q, "OFF"); });
    p.link.context = "switching the external board's supply on";
    ExtBoardPower(p, "ON");
}

// Runs f with the short limit of a failure mark; a JIG that does not answer
// any more is not reported again (the failure is reported already).
template <class F>
void BestEffort(Program& p, F&& f) {
    const uint32_t saved = p.limits.idleMs.load();
    p.limits.idleMs = p.limits.failureMarkMs.load();
    try {
        f();
    } catch (const std::exception&) {
    }
    p.limits.idleMs = saved;
}

// The end of an ENE job: timestamp, supply off in external mode, end mark,
// link and file closed, "NONE", the mode selector enabled again.
void FinishJob(Program& p, bool success) {
    const bool external = p.State<EneExternal>().on.load();
    AppendTimestampLine(p);
    if (success) {
        p.link.context = "end of the operation";
        if (external) ExtBoardPower(p, "OFF");
        SendEndMark(p, true);
    } else {
        RecordOutcome(p, false);
        BestEffort(p, [&] {
            if (external) ExtBoardPower(p, "OFF");
            SendEndMark(p, false);
        });
    }
    CloseJigLink(p);
    CloseImageFile(p);
    p.form.SetEnabled("CBox_Selector", true);
    p.CurrentJob.Set("NONE");
}

// A failure the JIG reported (or a stream out of protocol): the family's red
// message, what exactly happened in black, then the end of the job.
void FailJob(Program& p, const std::string& detail) {
    AppendLog(p, kEneLostMessage, colors::Red);
    AppendLog(p, " (" + detail + ")\n", colors::Black);
    FinishJob(p, false);
}

// Waits for one 256-byte block; false (after ending the job) when more than
// one block is queued, which the protocol never does.
bool WaitBlock(Program& p, const std::string& what) {
    const uint32_t queued = p.link.WaitQueue(kEneBlockSize, what);
    if (queued > kEneBlockSize) {
        SendNoAnswer(p, 'X');
        FailJob(p, "protocol error: " + std::to_string(queued) +
                       " bytes queued where one 256-byte block was expected, " + p.link.context);
        return false;
    }
    p.link.ReadExactly(kEneBlockSize, what);
    return true;
}

// Prepares the job's common part on the window thread: the link is owned by
// the job from StartThread on; the window thread sends only the first command.
void BeginJob(Program& p, bool external) {
    p.op.lostMessage = kEneLostMessage;
    p.op.timestampOnFailure = true;
    p.State<EneExternal>().on = external;
}

}  // namespace

bool EneCheckConnection(Program& p) {
    const bool external = IsExternalMode(p);
    p.op.lostMessage = kEneLostMessage;
    const size_t steps = p.op.beforeFailureMark.size();
    if (external) SupplyOn(p);

    p.link.context = "connection check";
    uint8_t answer = 0xFF;
    try {
        SendJigCommand(p.link, "TwoBytesSend", 'K', 'V');
        answer = p.link.buffer[0];
    } catch (const JigNoAnswer& e) {
        // A JIG that is there but silent: no controller answered. A JIG that
        // is gone keeps the lost-communication message.
        if (!e.DeviceGone()) p.op.lostMessage = NoConnectionText(external);
        throw;
    }

    const bool ok = answer != 0xFF;
    if (!ok) {
        AppendLog(p, NoConnectionText(external), colors::Red);
        SendEndMark(p, false);
    } else {
        AppendLog(p, "Communication with KB90XX installed.\n", colors::Black);
        AppendLog(p, "Embedded Debug Version ID = " + std::to_string(answer) + "\n", colors::Blue);
        SendEndMark(p, true);
    }
    if (external) {
        p.link.context = "switching the external board's supply off";
        ExtBoardPower(p, "OFF");
    }
    p.op.beforeFailureMark.resize(steps);
    p.link.context.clear();
    return ok;
}

namespace {

// The last steps of READ and WRITE on the window thread: the timestamp and
// the phase line, the external supply, the worker (already named in
// CurrentJob), then 'K' and the stream command, sent once the worker waits.
void LaunchTransfer(Program& p, bool external, const char* phaseLine, uint8_t command) {
    AppendTimestampLine(p);
    AppendLog(p, phaseLine, colors::Blue);
    if (external) SupplyOn(p);

    p.link.context.clear();
    p.jobs.StartThread(p);
    SendJigCommand(p.link, "TwoBytesSendNoReadByte", 'K', command);
}

}  // namespace

void EneStartRead(Program& p) {
    auto& st = p.State<EneState>();
    p.files.ImageFileName.clear();
    if (!ChooseSaveFile(p, "ENE_", ".bin", kEneFilter)) return;
    AppendLog(p, "Save the file: " + p.files.ImageFileName + "\n", colors::Black);

    const bool external = IsExternalMode(p);
    p.CurrentJob.Set("READ_ENE");
    st.blockCounter = 1;
    DisableForOperation(p, "CBox_Selector");
    p.gauge.SetColor(colors::Lime);
    p.gauge.SetProgress(0);
    p.gauge.SetMaximum(kEneBlocks);
    BeginJob(p, external);

    LaunchTransfer(p, external, "Reading KB90XX ...\n", 'R');
}

void EneReadJob(Program& p) {
    auto& st = p.State<EneState>();
    JigLink& link = p.link;
    while (p.CurrentJob.Is("READ_ENE")) {
        const int n = st.blockCounter.load();
        link.context = "block " + Of512(n);
        if (!WaitBlock(p, "data block")) return;

        if (!WriteImageFile(p, link.buffer.data(), kEneBlockSize)) {
            const int err = errno;
            // The file keeps exactly the blocks before this one.
            if (p.files.ImageFile >= 0)
                (void)::ftruncate(p.files.ImageFile,
                                  static_cast<off_t>(n - 1) * static_cast<off_t>(kEneBlockSize));
            SendNoAnswer(p, 'X');
            AppendLog(p, "Error write file.\n", colors::Red);
            AppendLog(p, " (" + p.files.ImageFileName + ": " + std::strerror(err) + ", block " +
                             Of512(n) + " not saved)\n",
                      colors::Black);
            FinishJob(p, false);
            return;
        }
        p.gauge.SetProgress(n);

        link.context = "after block " + Of512(n);
        SendJigCommand(link, "OneByteSend", '?');
        const uint8_t answer = link.buffer[0];
        if (answer != kBlockGood) {
            SendNoAnswer(p, 'X');
            FailJob(p, "answer to '?' after block " + Of512(n) + " was " + ByteText(answer) +
                           " instead of 'G'");
            return;
        }
        if (n == kEneBlocks) {
            SendNoAnswer(p, 'X');
            AppendLog(p, "Reading completed successfully.\n", colors::Blue);
            FinishJob(p, true);
            return;
        }
        SendNoAnswer(p, 'N');
        st.blockCounter = n + 1;
    }
}

void EneStartWrite(Program& p) {
    p.files.ImageFileName.clear();
    if (!ChooseOpenFile(p, "", ".bin", kEneFilter)) return;
    LoadImageFile(p, p.files.ChipImage.data(), kEneFlashSize);
    AppendLog(p, "Write in KB90XX file: " + p.files.ImageFileName + "\n", colors::Black);

    const bool external = IsExternalMode(p);
    DisableForOperation(p, "CBox_Selector");
    p.CurrentJob.Set("WRITE_ENE");
    BeginJob(p, external);

    LaunchTransfer(p, external, "There is a writing KB90XX...\n", 'W');
}

void EneWriteJob(Program& p) {
    auto& st = p.State<EneState>();
    JigLink& link = p.link;
    const uint8_t* image = p.files.ChipImage.data();

    p.gauge.SetColor(colors::Red);
    p.gauge.SetProgress(0);
    p.gauge.SetMaximum(kEneBlocks);
    st.blockCounter = 0;

    for (int n = 0; n < kEneBlocks; ++n) {
        link.context = "before block " + Of512(n + 1);
        link.ReadAck("ready byte");
        std::memcpy(link.buffer.data(), image + static_cast<size_t>(n) * kEneBlockSize,
                    kEneBlockSize);
        link.WriteBuffer(kEneBlockSize);
        st.blockCounter = n + 1;
        p.gauge.SetProgress(n + 1);

        link.context = "after block " + Of512(n + 1);
        if (link.ReadAck("status byte") == kBlockFailed) {
            SendNoAnswer(p, 'X');
            FailJob(p, "the JIG reported 'E' for block " + Of512(n + 1) +
                           "; the chip holds a partial image");
            return;
        }
        if (n + 1 < kEneBlocks) SendNoAnswer(p, 'N');
    }
    SendNoAnswer(p, 'X');
    AppendLog(p, "Writing is completed ...\n", colors::Blue);
    AppendLog(p, "Verification ...\n", colors::Blue);

    p.gauge.SetProgress(0);
    p.gauge.SetColor(colors::Yellow);
    p.gauge.SetMaximum(kEneBlocks);
    st.blockCounter = 0;
    st.mismatch = false;
    SendJigCommand(link, "TwoBytesSendNoReadByte", 'K', 'R');

    size_t offset = 0;
    for (;;) {
        const int n = st.blockCounter.load() + 1;
        link.context = "verification block " + Of512(n);
        if (!WaitBlock(p, "data block")) return;
        const uint8_t* got = link.buffer.data();
        const uint8_t* want = image + offset;
        if (std::memcmp(got, want, kEneBlockSize) != 0) {
            size_t i = 0;
            while (got[i] == want[i]) ++i;
            // Taken before 'X' reuses the transfer buffer.
            char detail[160];
            std::snprintf(detail, sizeof detail,
                          " (first difference at offset 0x%05zX, block %d of %d: written 0x%02X, "
                          "read 0x%02X)\n",
                          offset + i, n, kEneBlocks, want[i], got[i]);
            SendNoAnswer(p, 'X');
            AppendLog(p, "!!! Data is written incorrectly !!! \n", colors::Red);
            AppendLog(p, detail, colors::Black);
            st.mismatch = true;
            break;
        }
        st.blockCounter = n;
        p.gauge.SetProgress(n);
        offset += kEneBlockSize;
        if (n == kEneBlocks) {
            SendNoAnswer(p, 'X');
            AppendLog(p, "Writing and verify is OK !\n", colors::Blue);
            break;
        }
        SendNoAnswer(p, 'R');
    }
    FinishJob(p, !st.mismatch.load());
}

FamilyBranches EneBranches() {
    FamilyBranches b;
    b.check = [](Program& p) { EneCheckConnection(p); };
    b.checkBeforeTransfer = EneCheckConnection;
    b.read = EneStartRead;
    b.write = EneStartWrite;
    return b;
}

void RegisterEne(Program& p) {
    p.families[Family::Ene] = EneBranches();
    p.jobs.Register(job_order::kReadEne, "READ_ENE", false, EneReadJob);
    p.jobs.Register(job_order::kWriteEne, "WRITE_ENE", false, EneWriteJob);
}

}  // namespace zjig
