#include "resources/resources.hpp"

namespace resources {

void RegisterProgramResources() {
    detail::RegisterCursors();
    detail::RegisterIcons();
    detail::RegisterGlyphs();
    detail::RegisterMenuMarks();
    detail::RegisterDateGlyphs();
}

}  // namespace resources
