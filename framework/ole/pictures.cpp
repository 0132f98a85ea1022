// Global memory blocks and icon pictures: what objects hand their
// containers to show them as icons.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "framework/ole/oleidl.hpp"

namespace ole {

namespace {

struct Block {
    std::vector<uint8_t> bytes;
    int locks = 0;
};

struct Pictures {
    std::mutex mu;
    std::map<HGLOBAL, std::unique_ptr<Block>> blocks;
    std::map<HMETAFILE, IconPicture> metafiles;
    HMETAFILE next = 1;
};

Pictures& P() {
    static auto* p = new Pictures();  // outlives every static that frees a picture at exit
    return *p;
}

}  // namespace

HGLOBAL GlobalAlloc(size_t bytes) {
    auto block = std::make_unique<Block>();
    block->bytes.resize(bytes ? bytes : 1);
    HGLOBAL h = block.get();
    std::lock_guard lock(P().mu);
    P().blocks[h] = std::move(block);
    return h;
}

void* GlobalLock(HGLOBAL h) {
    std::lock_guard lock(P().mu);
    auto it = P().blocks.find(h);
    if (it == P().blocks.end()) return nullptr;
    ++it->second->locks;
    return it->second->bytes.data();
}

bool GlobalUnlock(HGLOBAL h) {
    std::lock_guard lock(P().mu);
    auto it = P().blocks.find(h);
    if (it == P().blocks.end() || it->second->locks == 0) return false;
    return --it->second->locks > 0;
}

HGLOBAL GlobalFree(HGLOBAL h) {
    std::lock_guard lock(P().mu);
    return P().blocks.erase(h) ? nullptr : h;
}

size_t GlobalLiveBlocks() {
    std::lock_guard lock(P().mu);
    return P().blocks.size();
}

HMETAFILE CreateIconMetaFile(IconPicture picture) {
    std::lock_guard lock(P().mu);
    const HMETAFILE h = P().next++;
    P().metafiles[h] = std::move(picture);
    return h;
}

const IconPicture* MetaFileContent(HMETAFILE mf) {
    std::lock_guard lock(P().mu);
    auto it = P().metafiles.find(mf);
    return it == P().metafiles.end() ? nullptr : &it->second;
}

bool DeleteMetaFile(HMETAFILE mf) {
    std::lock_guard lock(P().mu);
    return P().metafiles.erase(mf) != 0;
}

size_t LiveMetaFiles() {
    std::lock_guard lock(P().mu);
    return P().metafiles.size();
}

HGLOBAL OleMetafilePictFromIconAndLabel(const std::string& icon, const std::string& label) {
    HGLOBAL h = GlobalAlloc(sizeof(METAFILEPICT));
    METAFILEPICT mp;
    mp.hMF = CreateIconMetaFile({icon, label});
    // 32 pixels of icon over a line of label, in hundredths of a millimetre at 96 dpi.
    mp.xExt = LONG(std::max<size_t>(32, label.size() * 6) * 2540 / 96);
    mp.yExt = 48 * 2540 / 96;
    std::memcpy(GlobalLock(h), &mp, sizeof mp);
    GlobalUnlock(h);
    return h;
}

bool MetafilePictContent(HGLOBAL pict, IconPicture& out) {
    const void* p = GlobalLock(pict);
    if (!p) return false;
    METAFILEPICT mp;
    std::memcpy(&mp, p, sizeof mp);
    GlobalUnlock(pict);
    const IconPicture* content = MetaFileContent(mp.hMF);
    if (!content) return false;
    out = *content;
    return true;
}

}  // namespace ole
