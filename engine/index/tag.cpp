#include "engine/index/detail/tag.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/expr/julian.hpp"
#include "engine/expr/keys.hpp"
#include "platform/codepage.hpp"

namespace zurod {

namespace {

constexpr uint16_t kCorrupt = 222;
constexpr uint16_t kKeyLength = 266;

double DateOf(const uint8_t* p) {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = bits << 8 | p[i];
    return std::bit_cast<double>(bits);
}

char KeyTypeOf(char result) {
    switch (result) {
    case 'C': return 'C';
    case 'N': return 'N';
    case 'D': return 'D';
    default: return 0;
    }
}

}  // namespace

int Tag::Compare(const uint8_t* a, const uint8_t* b) const {
    int c;
    switch (type) {
    case 'N': {
        NumericKey x, y;
        std::memcpy(x.data(), a, x.size());
        std::memcpy(y.data(), b, y.size());
        c = CompareNumericKeys(x, y);
        break;
    }
    case 'D': c = CompareDateKeys(DateOf(a), DateOf(b)); break;
    default: c = std::memcmp(a, b, key_length); break;
    }
    return descending ? -c : c;
}

Status Tag::BuildKey(std::string& key) {
    Status s = EvaluateKey(*key_program, key);
    if (type == 'C') {
        // Always the key's length, blank-padded: never bytes left from before.
        key.resize(key_length, ' ');
        if (oem) platform::AnsiToOem(std::span<char>(key));
    } else if (key.size() != key_length) {
        key.resize(key_length, '\0');
    }
    return s;
}

Status Tag::ForTrue(bool& in) {
    in = true;
    if (!for_program) return {};
    Status s = for_program->Run();
    in = for_program->Result().logical;
    return s;
}

Status Tag::ReadHeader() {
    if (int rc = file->ReadBlocks(header_block, std::span(header.data(), mdx::kTagHeaderSize)); rc != 0)
        return Fail(static_cast<uint16_t>(rc), "Error reading index file:  " + Label() + " [ReadAnchorNodes]");
    header_changed = {};
    return {};
}

Status Tag::WriteHeader(bool flush) {
    if (!header_changed.any) return {};
    const mdx::ChangedBytes& c = header_changed;
    const std::span<const uint8_t> bytes(header.data() + c.from, c.to - c.from);
    int rc = file->Handle().WriteAt(uint64_t{header_block} * mdx::kBlockSize + c.from,
                                    {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    if (rc == 0 && flush) rc = file->Sync();
    if (rc != 0) return Fail(static_cast<uint16_t>(rc), "Error writing index file:  " + Label() + " [WriteAnchor]");
    header_changed = {};
    return {};
}

std::string KeyText(const Tag& tag, std::string_view key) {
    if (key.size() < tag.key_length) return std::string(key);
    const auto* k = reinterpret_cast<const uint8_t*>(key.data());
    if (tag.type == 'D') return DTOSFromJulian(DateOf(k));
    if (tag.type != 'N') return std::string(key);
    // The digits of the packed key with the point where its exponent puts it.
    const int count = std::min((k[1] >> 2) & 0x1F, 20);
    std::string digits;
    for (int i = 0; i < count; ++i) digits += static_cast<char>('0' + ((k[2 + i / 2] >> (i % 2 ? 0 : 4)) & 0x0F));
    if (digits.empty()) return "0";
    const int point = k[0] - 0x34;
    std::string text;
    if (point <= 0) {
        text = "0." + std::string(static_cast<size_t>(-point), '0') + digits;
    } else if (static_cast<size_t>(point) >= digits.size()) {
        text = digits + std::string(static_cast<size_t>(point) - digits.size(), '0');
    } else {
        text = digits.substr(0, static_cast<size_t>(point)) + "." + digits.substr(static_cast<size_t>(point));
    }
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
    }
    return (k[1] & 0x80 ? "-" : "") + text;
}

std::string NormalizeExpression(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    char quote = 0;
    bool blank = false;
    for (char c : text) {
        if (quote) {
            out += c;
            if (c == quote) quote = 0;
            continue;
        }
        if (c == ' ' || c == '\t') {
            blank = !out.empty();
            continue;
        }
        if (blank) out += ' ';
        blank = false;
        if (c == '\'' || c == '"') quote = c;
        out += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return out;
}

Status OpenTag(TWorkArea& area, IndexFile& file, int n, std::unique_ptr<Tag>& out) {
    auto tag = std::make_unique<Tag>();
    tag->number = n;
    tag->file = &file;
    tag->area = area.number;
    tag->oem = area.oem;
    tag->name = mdx::TagName(file.header, n);
    tag->header_block = mdx::TagHeaderBlock(file.header, n);
    const auto corrupt = [&](const std::string& why) { return Fail(kCorrupt, why + tag->Label()); };
    if (tag->header_block < mdx::kHeaderBlocks || uint64_t{tag->header_block} >= file.Blocks())
        return corrupt("Tag header outside the file");
    if (Status s = tag->ReadHeader(); s.failed()) return Fail(kCorrupt, s.message);
    const uint8_t* h = tag->header.data();

    const std::string key_text = NormalizeExpression(mdx::CString(h + mdx::kKeyExpressionAt, mdx::kMaxExpression));
    if (key_text.empty()) return corrupt("Empty key expression");
    if (CompileExpr(&area, key_text, 0, tag->key_program).failed()) return corrupt("Key expression does not compile");
    tag->type = KeyTypeOf(tag->key_program->Type());
    if (tag->type == 0) return corrupt("Key expression of a wrong type");
    if (h[mdx::kHasForAt] != 0) {
        const std::string for_text = NormalizeExpression(mdx::CString(h + mdx::kForExpressionAt, mdx::kMaxExpression));
        if (!for_text.empty()) {
            if (CompileExpr(&area, for_text, 0, tag->for_program).failed() || tag->for_program->Type() != 'L')
                return corrupt("FOR expression does not compile");
        }
    }

    tag->key_length = mdx::Get16(h + mdx::kKeyLengthAt);
    if (tag->key_length < 1 || tag->key_length > mdx::kMaxKeyLength)
        return Fail(kKeyLength, "Key length" + tag->Label());
    if ((tag->type == 'N' && tag->key_length != 12) || (tag->type == 'D' && tag->key_length != 8))
        return corrupt("Key length does not fit the key type");
    // Only a key of fixed length can be checked: TRIM(NAME) has no length
    // of its own.
    if (tag->type == 'C' && tag->key_program->Length() > 0 && tag->key_program->Length() != tag->key_length)
        return Fail(kKeyLength, "Key length" + tag->Label());
    tag->item_length = mdx::Get16(h + mdx::kItemLengthAt);
    if (tag->item_length < tag->key_length + 4 || tag->item_length > mdx::kNodeSize - mdx::kEntriesAt - 4)
        return corrupt("Item length");
    const uint16_t stored_max = mdx::Get16(h + mdx::kMaxKeysAt);
    const uint16_t fits = mdx::MaxKeys(tag->item_length);
    tag->max_keys = stored_max >= 2 && stored_max < fits ? stored_max : fits;
    tag->descending = (h[mdx::kFlagsAt] & mdx::kFlagDescending) != 0;
    tag->unique = (h[mdx::kFlagsAt] & mdx::kFlagUnique) != 0 || h[mdx::kUniqueAt] != 0;
    out = std::move(tag);
    return {};
}

}  // namespace zurod
