#include "app/log.h"

#include <cstdio>

#include "app/program.h"

namespace zjig {

const char* ColorName(Rgb c) {
    struct Named {
        Rgb rgb;
        const char* name;
    };
    static constexpr Named kNames[] = {
        {colors::Black, "black"},     {colors::Red, "red"},         {colors::Blue, "blue"},
        {colors::Fuchsia, "fuchsia"}, {colors::Green, "green"},     {colors::Purple, "purple"},
        {colors::Lime, "lime"},       {colors::Yellow, "yellow"},   {colors::SkyBlue, "skyblue"},
        {colors::Navy, "navy"},
    };
    for (const auto& n : kNames)
        if (n.rgb == c) return n.name;
    return "other";
}

int GaugeState::Percent() const {
    int p = progress < 0 ? 0 : progress;
    if (maximum <= 0) return p > 0 ? 100 : 0;
    if (p > maximum) p = maximum;
    return static_cast<int>(static_cast<long long>(p) * 100 / maximum);
}

void AppendLog(Program& p, const std::string& text, Rgb color) { p.ui.AppendLog(text, color); }

std::string TimestampText(std::time_t when) {
    std::tm tm{};
    localtime_r(&when, &tm);
    char buf[128];
    // %x and %X follow the user's locale (LC_TIME) as the program set it up.
    size_t n = std::strftime(buf, sizeof buf, "%x %X", &tm);
    return std::string(buf, n);
}

void AppendTimestampLine(Program& p) {
    AppendLog(p, TimestampText(std::time(nullptr)) + "\n", colors::Black);
}

template <class F>
void Gauge::Change(F&& f) {
    GaugeState copy;
    {
        std::lock_guard lock(m_);
        f(state_);
        copy = state_;
    }
    ui_.GaugeChanged(copy);
}

void Gauge::SetColor(Rgb color) {
    Change([&](GaugeState& s) { s.color = color; });
}
void Gauge::SetMaximum(int maximum) {
    Change([&](GaugeState& s) { s.maximum = maximum; });
}
void Gauge::SetProgress(int progress) {
    Change([&](GaugeState& s) { s.progress = progress; });
}
void Gauge::AddOne() {
    Change([&](GaugeState& s) { s.progress += 1; });
}
GaugeState Gauge::Get() const {
    std::lock_guard lock(m_);
    return state_;
}

}  // namespace zjig
