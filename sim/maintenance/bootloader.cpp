#include "sim/maintenance/bootloader.h"

#include "sim/sim_jig.h"

namespace zjig::sim {

std::vector<std::vector<uint8_t>> SimBootloader::Pages() const {
    std::lock_guard lock(m_);
    return pages_;
}

int SimBootloader::Sessions() const {
    std::lock_guard lock(m_);
    return sessions_;
}

bool SimBootloader::Finished() const {
    std::lock_guard lock(m_);
    return finished_;
}

uint64_t SimBootloader::IgnoredProbes() const {
    std::lock_guard lock(m_);
    return ignored_;
}

void SimBootloader::OnProbe(SimJig& jig) {
    const auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(m_);
        if (!firstProbe_) firstProbe_ = now;
        if (!pressResetAfter || pressUsed_) {
            ++ignored_;
            return;
        }
        const auto resetAt = *firstProbe_ + *pressResetAfter;
        if (now < resetAt) {
            ++ignored_;  // the firmware runs and ignores the probe
            return;
        }
        // The button was pressed at resetAt; one press per update.
        pressUsed_ = true;
        if (now > resetAt + listenWindow) {
            // The bootloader heard no probe in time and started the old firmware.
            ++ignored_;
            return;
        }
        ++sessions_;
        pages_.clear();
        finished_ = false;
    }
    Session(jig);
    std::lock_guard lock(m_);
    // The next update gets its own press.
    firstProbe_.reset();
    pressUsed_ = false;
}

void SimBootloader::Session(SimJig& jig) {
    auto sendText = [&](const std::string& text) {
        jig.Send(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    };
    sendText(identification);
    int page = 0;
    for (;;) {
        const uint8_t c = jig.Get();
        if (c == 'W') {
            if (silentAtPage && *silentAtPage == page) {
                for (;;) jig.Get();  // hung: takes bytes, answers nothing
            }
            if (wrongRequestAnswerAt && *wrongRequestAnswerAt == page) {
                jig.Send({'E'});
                continue;
            }
            jig.Send({'G'});
            std::vector<uint8_t> data(128);
            for (auto& b : data) b = jig.Get();
            {
                std::lock_guard lock(m_);
                pages_.push_back(std::move(data));
            }
            jig.Send({static_cast<uint8_t>(
                wrongPageAnswerAt && *wrongPageAnswerAt == page ? '-' : '+')});
            ++page;
        } else if (c == 'X') {
            {
                std::lock_guard state(jig.StateMutex());
                jig.version = imageVersion;
            }
            std::lock_guard lock(m_);
            finished_ = true;
            return;
        }
        // Any other byte (late probes included) means nothing to the bootloader.
    }
}

void InstallBootloader(SimJig& jig) {
    jig.OnCommand('+', [](SimJig& j) { j.Part<SimBootloader>().OnProbe(j); });
}

}  // namespace zjig::sim
