#include "engine/dbf/detail/table_file.hpp"

#include <algorithm>
#include <cstring>

namespace zurod {

int TableFile::Open(const std::string& path, platform::Access access, platform::Share share,
                    platform::Disposition disposition) {
    Close();
    return file_.Open(path, access, share, disposition);
}

void TableFile::Close() {
    Forget();
    header_map_.Unmap();
    file_.Close();
}

int TableFile::ReadAt(uint64_t offset, std::span<char> out, size_t& got) const {
    return file_.ReadAt(offset, out, got);
}

bool TableFile::Caching() const {
    // The area's exclusive flag is not enough: an open-mode override may have
    // opened the file shared all the same.
    return file_.IsOpen() && file_.CurrentShare() != platform::Share::DenyNone;
}

int TableFile::ReadCached(uint64_t offset, std::span<char> out, uint64_t block_start, size_t block_length) {
    const uint64_t end = offset + out.size();
    if (!Caching()) {
        size_t got = 0;
        int rc = file_.ReadAt(offset, out, got);
        return rc == 0 && got < out.size() ? 213 : rc;
    }
    if (offset < block_start_ || end > BlockEnd()) {
        Forget();
        block_.resize(block_length);
        size_t got = 0;
        int rc = file_.ReadAt(block_start, block_, got);
        if (rc != 0) {
            Forget();
            return rc;
        }
        block_.resize(got);
        block_start_ = block_start;
        if (offset < block_start_ || end > BlockEnd()) return 213;
    }
    std::memcpy(out.data(), block_.data() + (offset - block_start_), out.size());
    return 0;
}

int TableFile::WriteAt(uint64_t offset, std::span<const char> bytes) {
    const int rc = file_.WriteAt(offset, bytes);
    if (rc != 0) {
        // What reached the file is unknown.
        Forget();
        return rc;
    }
    const uint64_t from = std::max(offset, block_start_);
    const uint64_t to = std::min(offset + bytes.size(), BlockEnd());
    if (from < to) std::memcpy(block_.data() + (from - block_start_), bytes.data() + (from - offset), to - from);
    return 0;
}

int TableFile::Truncate(uint64_t length) {
    Forget();
    return file_.Truncate(length);
}

int TableFile::ChangeShare(platform::Share share) {
    Forget();
    return file_.ChangeShare(share);
}

void TableFile::Swap(platform::File& other) {
    Forget();
    const size_t mapped = header_map_.Size();
    header_map_.Unmap();
    std::swap(file_, other);
    if (mapped > 0) MapHeader(mapped);
}

void TableFile::Forget() {
    block_.clear();
    block_start_ = 0;
}

bool TableFile::MapHeader(size_t length) {
    // Without the view (a read-only file, say) the header is written instead.
    if (header_map_.Map(file_, length) == 0) return true;
    header_map_.Unmap();
    return false;
}

}  // namespace zurod
