// The worker thread and its jobs.
//
// A window handler prepares an operation, names the job in CurrentJob and
// starts a new worker (StartJob). The worker tests the name against the job
// table in its fixed order; a body either finishes (sets "NONE") or chains by
// setting a follow-on name that stands later in the table.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zjig {

struct Program;

using JobBody = std::function<void(Program&)>;

// Orders of the job table.
namespace job_order {
inline constexpr int kFwUpdate = 1;
inline constexpr int kReadEne = 2;
inline constexpr int kReadNuvotonSpi = 3;
inline constexpr int kWriteEne = 4;
inline constexpr int kWriteNuvotonSpi = 5;
inline constexpr int kCheckConToIte = 6;  // matched by "contains"
inline constexpr int kIteInit = 7;
inline constexpr int kIteRead = 8;
inline constexpr int kIteWrite = 9;
inline constexpr int kIteWrite8580 = 10;
inline constexpr int kKeyboard = 11;
inline constexpr int kNuvotonTxtSend = 12;
inline constexpr int kNuvotonJtagRead = 13;
inline constexpr int kNuvotonJtagErWr = 14;
inline constexpr int kMecCommon = 15;  // matched by "contains"
inline constexpr int kMecRead = 16;
inline constexpr int kMecErase = 17;
}  // namespace job_order

class Jobs {
public:
    Jobs() = default;
    ~Jobs();
    Jobs(const Jobs&) = delete;
    Jobs& operator=(const Jobs&) = delete;

    // Adds a row to the job table. A row matches CurrentJob by equality, or
    // by substring when matchContains is set. A name registered again gets the new body.
    void Register(int order, std::string name, bool matchContains, JobBody body);
    bool HasBody(const std::string& jobName) const;

    // Starts a fresh worker thread that runs the dispatcher. CurrentJob must
    // already name the job (StartJob does both).
    void StartThread(Program& p);
    // True while a worker thread runs (from its start to its last step).
    bool Running() const;
    // Waits until no worker runs; false when the time passed first.
    bool WaitIdle(std::chrono::milliseconds limit);
    // Number of worker threads started so far.
    int ThreadsStarted() const;

private:
    struct Row {
        int order;
        std::string name;
        bool matchContains;
        JobBody body;
    };
    void ReadThread(Program& p);
    bool Matches(const Row& row, const std::string& job) const;

    std::vector<Row> rows_;
    mutable std::mutex m_;
    std::condition_variable idle_;
    bool running_ = false;
    int started_ = 0;
    std::thread thread_;
};

// Sets CurrentJob to name and starts a worker thread for it.
void StartJob(Program& p, const std::string& name);

}  // namespace zjig
