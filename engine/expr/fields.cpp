// Field values for expressions, read from the area's record buffer.
#include <algorithm>
#include <cstring>

#include "engine/dbf/dates.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/expr/detail/program.hpp"
#include "engine/expr/julian.hpp"

namespace zurod {

namespace {

template <typename T>
T Load(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// A virtual record is its typed image: each field stands in its slot.
FieldRead ReadVirtual(const TWorkArea& a, const FieldInfo& f) {
    const char* slot = a.record.data() + f.offset;
    FieldRead r;
    switch (f.type) {
    case 'C': r.text = {slot + 1, std::min<size_t>(static_cast<uint8_t>(slot[0]), f.length)}; break;
    case 'D': {
        const std::string_view date(slot + 1, std::min<size_t>(static_cast<uint8_t>(slot[0]), 10));
        r.number = date.empty() ? kBlankDate : JulianFromDTOS(DTOS(date));
        break;
    }
    case 'N':
    case 'F': r.number = RealSlot(f) ? Load<double>(slot) : static_cast<double>(Load<int64_t>(slot)); break;
    case 'L': r.number = slot[0] != 0 ? 1 : 0; break;
    case 'M': r.number = Load<int32_t>(slot); break;
    default: break;
    }
    return r;
}

}  // namespace

FieldRead ReadField(const TWorkArea& a, const FieldInfo& f) {
    FieldRead r;
    // An empty table reads as blanks, so that a filter on it sees values.
    const size_t end = size_t{f.offset} + (a.is_virtual ? SlotSize(f) : f.length);
    if (a.rec_count <= 0 || a.record.size() < end) {
        if (f.type == 'D') r.number = kBlankDate;
        return r;
    }
    if (a.is_virtual) return ReadVirtual(a, f);
    const std::string_view raw(a.record.data() + f.offset, f.length);
    switch (f.type) {
    case 'C': r.text = raw; break;
    case 'D': r.number = JulianFromDTOS(raw); break;
    case 'N':
    case 'F': r.number = StoredReal(raw); break;
    case 'L': {
        const char c = raw.empty() ? ' ' : raw[0];
        r.number = c == 'Y' || c == 'y' || c == 'T' || c == 't' ? 1 : 0;
        break;
    }
    case 'M': r.number = static_cast<double>(StoredInteger(raw)); break;
    default: break;
    }
    return r;
}

}  // namespace zurod
