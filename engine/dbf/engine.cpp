#include "engine/dbf/engine.hpp"

#include <cstdlib>

#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/state.hpp"
#include "engine/dbf/errors.hpp"

namespace zurod {

namespace {

std::unique_ptr<EngineState> g_engine;

void ShutdownAtExit() { EngineShutdown(); }

}  // namespace

void EngineInit() {
    if (g_engine) return;
    static const bool registered = (std::atexit(ShutdownAtExit), true);
    (void)registered;
    g_engine = std::make_unique<EngineState>();
}

void EngineShutdown() {
    if (!g_engine) return;
    {
        ErrorHandlingScope quiet(false);
        ShutdownAreas();
    }
    // The areas are gone; the units' objects and the rest go with the state.
    g_engine.reset();
}

bool EngineRunning() { return g_engine != nullptr; }

void EngineReset() {
    EngineShutdown();
    EngineInit();
}

EngineState& Engine() {
    if (!g_engine) EngineInit();
    return *g_engine;
}

EngineSettings& Settings() { return Engine().settings; }

Status CallVirtualStore(TWorkArea& area, VFileRequest request, int32_t record) {
    VirtualFileAttachment* store = Engine().attachments.vfile.get();
    if (!store) return Fail(1101, "Virtual File Manager Unit not Linked in [" + area.alias + "]");
    return store->Dispatch(area, request, record);
}

}  // namespace zurod
