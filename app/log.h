// The operation log and the progress gauge, as the engine uses them.
#pragma once

#include <ctime>
#include <mutex>
#include <string>

#include "app/ui_port.h"

namespace zjig {

struct Program;

// Appends text in a colour. Window thread and worker alike.
void AppendLog(Program& p, const std::string& text, Rgb color);
// Appends the local date (short format), a space, the local time (long
// format) and a line feed, in black.
void AppendTimestampLine(Program& p);
// The timestamp text without its line feed, for a given time.
std::string TimestampText(std::time_t when);

class Gauge {
public:
    explicit Gauge(UiPort& ui) : ui_(ui) {}
    void SetColor(Rgb color);
    void SetMaximum(int maximum);
    void SetProgress(int progress);
    // Reads the current progress and sets it plus one.
    void AddOne();
    GaugeState Get() const;

private:
    template <class F>
    void Change(F&& f);
    UiPort& ui_;
    mutable std::mutex m_;
    GaugeState state_;
};

}  // namespace zjig
