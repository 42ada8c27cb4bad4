#include "sim/wiring/t_commands.h"

#include <map>

namespace zjig::sim {

namespace {
struct TTable {
    bool installed = false;
    std::map<uint8_t, SimJig::Handler> handlers;
};
}  // namespace

void OnTCommand(SimJig& jig, uint8_t second, SimJig::Handler handler) {
    auto& table = jig.Part<TTable>();
    table.handlers[second] = std::move(handler);
    if (table.installed) return;
    table.installed = true;
    jig.OnCommand('T', [&table](SimJig& j) {
        const uint8_t sub = j.Get();
        auto it = table.handlers.find(sub);
        if (it != table.handlers.end()) it->second(j);
    });
}

}  // namespace zjig::sim
