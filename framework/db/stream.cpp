#include "framework/db/stream.hpp"

#include <algorithm>
#include <cstring>

namespace db {

int64_t TStream::Size() {
    const int64_t at = Position();
    const int64_t size = Seek(0, soFromEnd);
    Seek(at, soFromBeginning);
    return size;
}

std::string TStream::ReadRest() {
    std::string text;
    char chunk[4096];
    for (;;) {
        const int64_t n = Read(chunk, sizeof chunk);
        if (n <= 0) break;
        text.append(chunk, static_cast<size_t>(n));
    }
    return text;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    const int64_t available = static_cast<int64_t>(data_.size()) - position_;
    const int64_t n = std::clamp<int64_t>(count, 0, std::max<int64_t>(available, 0));
    if (n > 0) std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const size_t end = static_cast<size_t>(position_ + count);
    if (end > data_.size()) data_.resize(end);
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int64_t base = origin == soFromBeginning ? 0
        : origin == soFromCurrent                  ? position_
                                                   : static_cast<int64_t>(data_.size());
    position_ = std::max<int64_t>(0, base + offset);
    return position_;
}

}  // namespace db
