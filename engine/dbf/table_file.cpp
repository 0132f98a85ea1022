#include "engine/dbf/detail/table_file.hpp"

#include <algorithm>
#include <cstring>

#include "engine/dbf/detail/state.hpp"

namespace zurod {

int TableFile::Open(const std::string& path, platform::Access access, platform::Share share,
                    platform::Disposition disposition) {
    Close();
    const int rc = file_.Open(path, access, share, disposition);
    if (rc == 0) {
        cache_ = &Engine().blocks;
        cache_id_ = cache_->NewFileId();
    }
    return rc;
}

void TableFile::Close() {
    Forget();
    cache_ = nullptr;
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

int TableFile::Load(uint64_t index, BlockCache::Block*& block, bool passing) {
    block = cache_->Insert(cache_id_, index, passing);
    if (!block) return 0;
    size_t got = 0;
    if (int rc = file_.ReadAt(index * BlockCache::kBlockSize, {block->bytes.get(), BlockCache::kBlockSize}, got);
        rc != 0) {
        cache_->Drop(cache_id_, index * BlockCache::kBlockSize);
        block = nullptr;
        return rc;
    }
    block->valid = got;
    return 0;
}

BlockCache::Block* TableFile::BlockFor(uint64_t index, uint64_t file_length, int& rc) {
    rc = 0;
    BlockCache::Block* block = nullptr;
    if (recent_ && recent_generation_ == cache_->Generation() && recent_->file == cache_id_ &&
        recent_->index == index) {
        block = recent_;
    } else {
        const bool near = last_index_ != UINT64_MAX && index + 1 >= last_index_ && index <= last_index_ + 1;
        // Far reads in a table larger than the cache go to the file without
        // a look in the cache: in a walk all over such a table most would miss.
        if (!near && file_length > cache_->Budget()) return nullptr;
        block = cache_->Find(cache_id_, index);
        if (!block)
            if ((rc = Load(index, block, file_length > cache_->Budget())) != 0 || !block) return nullptr;
    }
    recent_ = block;
    recent_generation_ = cache_->Generation();
    last_index_ = index;
    return block;
}

const char* TableFile::View(uint64_t offset, size_t length, uint64_t file_length, int& rc, bool& alone) {
    rc = 0;
    alone = false;
    if (!Caching() || !cache_) return nullptr;
    const uint64_t index = offset / BlockCache::kBlockSize;
    const size_t in = static_cast<size_t>(offset - index * BlockCache::kBlockSize);
    if (in + length > BlockCache::kBlockSize) return nullptr;
    BlockCache::Block* block = BlockFor(index, file_length, rc);
    if (!block) {
        if (rc == 0) {
            alone = true;
            last_index_ = index;
        }
        return nullptr;
    }
    if (in + length > block->valid) {
        rc = 213;
        return nullptr;
    }
    return block->bytes.get() + in;
}

void TableFile::Prefetch(uint64_t offset, size_t length) const {
    if (!cache_ || length == 0 || !Caching()) return;
    constexpr uint64_t kBlock = BlockCache::kBlockSize;
    const uint64_t index = offset / kBlock;
    const size_t in = static_cast<size_t>(offset - index * kBlock);
    if (in + length > kBlock) return;
    const BlockCache::Block* block = cache_->Peek(cache_id_, index);
    if (!block || in + length > block->valid) return;
    constexpr size_t kLine = 64;
    const char* from = block->bytes.get() + in;
    for (size_t at = 0; at < length + (reinterpret_cast<uintptr_t>(from) % kLine); at += kLine)
        __builtin_prefetch(from + at);
}

int TableFile::ReadCached(uint64_t offset, std::span<char> out, uint64_t file_length) {
    constexpr uint64_t kBlock = BlockCache::kBlockSize;
    size_t done = 0;
    while (done < out.size() && Caching() && cache_) {
        const uint64_t at = offset + done;
        const uint64_t index = at / kBlock;
        int rc = 0;
        const BlockCache::Block* block = BlockFor(index, file_length, rc);
        if (rc != 0) return rc;
        if (!block) break;
        const size_t in = static_cast<size_t>(at - index * kBlock);
        if (in >= block->valid) return 213;
        const size_t n = std::min(block->valid - in, out.size() - done);
        std::memcpy(out.data() + done, block->bytes.get() + in, n);
        done += n;
    }
    if (done == out.size()) return 0;
    // Far from the last read in a file larger than the cache, or not cached
    // at all: the bytes alone.
    if (Caching()) last_index_ = (offset + done) / kBlock;
    size_t got = 0;
    const int rc = file_.ReadAt(offset + done, out.subspan(done), got);
    return rc == 0 && got < out.size() - done ? 213 : rc;
}

int TableFile::WriteAt(uint64_t offset, std::span<const char> bytes) {
    const int rc = file_.WriteAt(offset, bytes);
    if (rc != 0) {
        // What reached the file is unknown.
        Forget();
        return rc;
    }
    if (cache_) cache_->Update(cache_id_, offset, bytes);
    return 0;
}

int TableFile::Truncate(uint64_t length) {
    const int rc = file_.Truncate(length);
    if (rc != 0)
        Forget();
    else if (cache_)
        cache_->Drop(cache_id_, length);
    return rc;
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
    recent_ = nullptr;
    last_index_ = UINT64_MAX;
    if (cache_) cache_->Drop(cache_id_);
}

bool TableFile::MapHeader(size_t length) {
    // Without the view (a read-only file, say) the header is written instead.
    if (header_map_.Map(file_, length) == 0) return true;
    header_map_.Unmap();
    return false;
}

}  // namespace zurod
