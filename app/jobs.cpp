#include "app/jobs.h"

#include <algorithm>
#include <stdexcept>

#include "app/log.h"
#include "app/operation.h"
#include "app/program.h"

namespace zjig {

Jobs::~Jobs() {
    if (thread_.joinable()) thread_.join();
}

void Jobs::Register(int order, std::string name, bool matchContains, JobBody body) {
    std::lock_guard lock(m_);
    // Registering a name again replaces its body.
    std::erase_if(rows_, [&](const Row& r) { return r.name == name && r.matchContains == matchContains; });
    Row row{order, std::move(name), matchContains, std::move(body)};
    auto pos = std::upper_bound(rows_.begin(), rows_.end(), row.order,
                                [](int o, const Row& r) { return o < r.order; });
    rows_.insert(pos, std::move(row));
}

bool Jobs::Matches(const Row& row, const std::string& job) const {
    return row.matchContains ? job.find(row.name) != std::string::npos : job == row.name;
}

bool Jobs::HasBody(const std::string& jobName) const {
    std::lock_guard lock(m_);
    for (const auto& r : rows_)
        if (Matches(r, jobName)) return true;
    return false;
}

void Jobs::StartThread(Program& p) {
    std::unique_lock lock(m_);
    // The previous worker has set "NONE" before anything new could start;
    // it may still be returning from its last step.
    idle_.wait(lock, [&] { return !running_; });
    if (thread_.joinable()) thread_.join();
    running_ = true;
    ++started_;
    thread_ = std::thread([this, &p] { ReadThread(p); });
}

bool Jobs::Running() const {
    std::lock_guard lock(m_);
    return running_;
}

bool Jobs::WaitIdle(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_);
    return idle_.wait_for(lock, limit, [&] { return !running_; });
}

int Jobs::ThreadsStarted() const {
    std::lock_guard lock(m_);
    return started_;
}

void Jobs::ReadThread(Program& p) {
    std::vector<Row> rows;
    {
        std::lock_guard lock(m_);
        rows = rows_;
    }
    // Pass over the table in order. A body that finishes sets "NONE"; one
    // that chains sets a name found later in the same pass.
    std::string job = p.CurrentJob.Get();
    bool ranAny = false;
    for (const auto& row : rows) {
        if (job == "NONE") break;
        if (!Matches(row, job)) continue;
        ranAny = true;
        const std::string before = job;
        try {
            RunGuarded(p, [&] { row.body(p); });
        } catch (const std::exception& e) {
            // A fault in a job body must not take the program down with it:
            // the job ends like any failed operation.
            FailOperation(p, e);
        }
        job = p.CurrentJob.Get();
        if (job == before && job != "NONE") {
            // Every body ends by finishing or chaining forward; one that
            // returns with its own name still set would run again forever.
            AppendLog(p, "Internal error: job " + job + " ended without finishing.\n",
                      colors::Red);
            CloseJigLink(p);
            CloseImageFile(p);
            p.CurrentJob.Set("NONE");
            job = "NONE";
        }
    }
    if (job != "NONE") {
        AppendLog(p, std::string(ranAny ? "Internal error: no job follows " : "No job named ") +
                         job + ".\n",
                  colors::Red);
        CloseJigLink(p);
        CloseImageFile(p);
        for (const auto& c : p.op.disabled) p.form.SetEnabled(c, true);
        p.CurrentJob.Set("NONE");
    }
    std::lock_guard lock(m_);
    running_ = false;
    idle_.notify_all();
}

void StartJob(Program& p, const std::string& name) {
    p.CurrentJob.Set(name);
    p.jobs.StartThread(p);
}

}  // namespace zjig
