#include "engine/dbf/settings.hpp"

namespace zurod {

OpenMode DecodeOpenMode(uint8_t mode) {
    using platform::Access;
    using platform::Share;
    Access access = Access::ReadWrite;
    switch (mode & 0x07) {
    case 0: access = Access::Read; break;
    case 1: access = Access::Write; break;
    default: break;
    }
    Share share = Share::Exclusive;
    switch ((mode >> 4) & 0x07) {
    case 2: share = Share::DenyWrite; break;
    case 4: share = Share::DenyNone; break;
    default: break;
    }
    return {access, share};
}

uint8_t EffectiveOpenMode(uint8_t mode) {
    const uint16_t override = Settings().open_mode_override;
    return override < kNoOpenModeOverride ? static_cast<uint8_t>(override & 0xFF) : mode;
}

}  // namespace zurod
