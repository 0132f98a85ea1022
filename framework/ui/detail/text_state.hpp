#pragma once
// Pango's font map and context, and the fonts realised so far. Part of the
// window system's state (detail/state.hpp); a reset keeps it, being a cache.
#include <map>
#include <string>
#include <tuple>

#include "framework/ui/gdi.hpp"

typedef struct _PangoFontMap PangoFontMap;
typedef struct _PangoContext PangoContext;

namespace ui::detail {

struct TextState {
    TextState();
    ~TextState();
    TextState(const TextState&) = delete;
    TextState& operator=(const TextState&) = delete;

    PangoFontMap* map = nullptr;
    PangoContext* context = nullptr;
    uint64_t layouts = 0;
    std::map<std::tuple<std::string, int, bool, bool, bool, bool>, FontPtr> fonts;
    FontPtr system_font;
};

TextState& Text();

}  // namespace ui::detail
