// One mechanism for ending an operation whose wait for the JIG failed.
//
// Every user operation (a window handler and the job it starts) records here
// what it disabled and how its failure is reported. When a wait for the JIG
// ends without an answer (JigNoAnswer) or the JIG answers out of protocol
// (JigProtocolError), FailOperation logs one red line saying what did not
// answer, tries the failure mark 'O', closes the link and any open image
// file, sets CurrentJob back to "NONE" and re-enables what was disabled.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace zjig {

struct Program;

enum class Outcome { Unknown, Succeeded, Failed };

struct Operation {
    // How the operation ended as the log reports it: the end marks 'I' and
    // 'O' and every reported failure record it; a failure is never
    // overwritten by a later success. The command-line front end turns it
    // into its exit status.
    Outcome outcome = Outcome::Unknown;
    // The family's own red message for a lost JIG ("Lost Communication with
    // ENE or timeout! \n"); empty: a generic message naming the wait.
    std::string lostMessage;
    // Controls the operation disabled; re-enabled when it fails.
    std::vector<std::string> disabled;
    // Best-effort steps before the failure mark (for example switching the
    // external board's supply off); their own failures are ignored.
    std::vector<std::function<void(Program&)>> beforeFailureMark;
    // Steps after the link is closed (for example closing a window).
    std::vector<std::function<void(Program&)>> afterFailure;
    // Append a timestamp line after the red line.
    bool timestampOnFailure = false;
};

// Starts a new operation record (window thread, before any job starts).
void BeginOperation(Program& p);
// Disables a control and records it for re-enabling on failure.
void DisableForOperation(Program& p, const std::string& control);
// Records how the operation went; Failed sticks.
void RecordOutcome(Program& p, bool success);
// Sends the end mark with "OneByteSend": 'I' (0x49) on success, 'O' (0x4F)
// on failure; the acknowledgement is not examined. Records the outcome.
void SendEndMark(Program& p, bool success);
// Ends the current operation after a failed wait or a protocol error.
void FailOperation(Program& p, const std::exception& failure);

// Runs f; a JigNoAnswer or JigProtocolError it throws ends the operation
// through FailOperation. Returns true when f returned normally.
template <class F>
bool RunGuarded(Program& p, F&& f);

}  // namespace zjig

#include "link/waits.h"

namespace zjig {
template <class F>
bool RunGuarded(Program& p, F&& f) {
    try {
        f();
        return true;
    } catch (const JigNoAnswer& e) {
        FailOperation(p, e);
    } catch (const JigProtocolError& e) {
        FailOperation(p, e);
    }
    return false;
}
}  // namespace zjig
