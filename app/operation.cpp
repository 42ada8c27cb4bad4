#include "app/operation.h"

#include <cstdio>

#include "app/log.h"
#include "app/program.h"
#include "link/protocol.h"

namespace zjig {

namespace {
std::string SecondsText(uint32_t ms) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", ms / 1000.0);
    return buf;
}
}  // namespace

void BeginOperation(Program& p) { p.op = Operation{}; }

void DisableForOperation(Program& p, const std::string& control) {
    p.form.SetEnabled(control, false);
    p.op.disabled.push_back(control);
}

void RecordOutcome(Program& p, bool success) {
    if (!success)
        p.op.outcome = Outcome::Failed;
    else if (p.op.outcome == Outcome::Unknown)
        p.op.outcome = Outcome::Succeeded;
}

void SendEndMark(Program& p, bool success) {
    RecordOutcome(p, success);
    SendJigCommand(p.link, "OneByteSend", success ? 'I' : 'O');
}

void FailOperation(Program& p, const std::exception& failure) {
    RecordOutcome(p, false);
    const auto* noAnswer = dynamic_cast<const JigNoAnswer*>(&failure);
    const bool gone = noAnswer && noAnswer->DeviceGone();
    std::string detail = failure.what();

    if (!p.op.lostMessage.empty()) {
        AppendLog(p, p.op.lostMessage, colors::Red);
        AppendLog(p, " (" + std::string(gone ? "JIG disconnected" : "no answer") + ": " +
                         detail + ")\n",
                  colors::Black);
    } else if (noAnswer) {
        AppendLog(p,
                  gone ? "The JIG was disconnected while waiting for " + detail + ".\n"
                       : "The JIG did not answer: no " + detail + " within " +
                             SecondsText(p.limits.idleMs.load()) + " s.\n",
                  colors::Red);
    } else if (dynamic_cast<const JigProtocolError*>(&failure)) {
        AppendLog(p, "Protocol error: " + detail + ".\n", colors::Red);
    } else {
        AppendLog(p, "Internal error: " + detail + ". The operation was stopped.\n", colors::Red);
    }
    if (p.op.timestampOnFailure) AppendTimestampLine(p);

    if (p.link.isOpen && !gone) {
        // Best effort with a short limit: the JIG may well be gone.
        const uint32_t saved = p.limits.idleMs.load();
        p.limits.idleMs = p.limits.failureMarkMs.load();
        try {
            for (auto& step : p.op.beforeFailureMark) step(p);
            SendJigCommand(p.link, "OneByteSend", 'O');
        } catch (const std::exception&) {
        }
        p.limits.idleMs = saved;
    }
    CloseJigLink(p);
    CloseImageFile(p);
    for (const auto& c : p.op.disabled) p.form.SetEnabled(c, true);
    for (auto& step : p.op.afterFailure) step(p);
    p.CurrentJob.Set("NONE");
}

}  // namespace zjig
