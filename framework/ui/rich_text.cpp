// The rich edit's document: text in runs of character formats, a format per
// paragraph, objects in the text, and the format records read and written.
#include <algorithm>
#include <cstring>

#include "framework/ui/detail/rich_state.hpp"

namespace ui::detail {

namespace {

constexpr uint32_t kEffectMasks = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_PROTECTED | CFM_LINK;
constexpr int32_t kMaxHeight = 1638 * 20;  // the largest point size, in twips

// Erase and insert rather than std::string::replace, on which GCC 12 warns
// falsely about overlapping copies (-Wrestrict).
void ReplaceText(std::string& text, int from, int to, std::string_view with) {
    text.erase(size_t(from), size_t(to - from));
    text.insert(size_t(from), with);
}

// Splits the run holding `pos` so that a run starts there; returns its index.
int SplitAt(Document& d, int pos) {
    const int i = RunAt(d, pos);
    if (d.runs[size_t(i)].start == pos) return i;
    Run copy = d.runs[size_t(i)];
    copy.start = pos;
    d.runs.insert(d.runs.begin() + i + 1, std::move(copy));
    return i + 1;
}

// Joins neighbouring runs of one format and drops runs that hold nothing,
// among runs first..last (indexes before the change), so that a change costs
// what it touches and not the whole text.
void Normalize(Document& d, int first, int last) {
    const int n = int(d.text.size());
    first = std::max(0, first - 1);
    last = std::min(int(d.runs.size()) - 1, last + 1);
    auto end_of = [&](int i) { return i + 1 < int(d.runs.size()) ? d.runs[size_t(i) + 1].start : n; };
    for (int i = last; i >= first && d.runs.size() > 1; --i)
        if (end_of(i) <= d.runs[size_t(i)].start) d.runs.erase(d.runs.begin() + i), --last;
    for (int i = std::min(last, int(d.runs.size()) - 1); i >= std::max(first, 1); --i)
        if (d.runs[size_t(i - 1)].format == d.runs[size_t(i)].format) d.runs.erase(d.runs.begin() + i);
    if (d.runs.empty()) d.runs.push_back(Run{});
    d.runs[0].start = 0;
}

// How many objects stand before `pos` (no walk when the text holds none).
int ObjectsBefore(const Document& d, int pos) {
    if (d.objects.empty()) return 0;
    return int(std::count(d.text.begin(), d.text.begin() + pos, kObjectChar));
}

void FillFrom(const CharFormat& f, CHARFORMAT2& cf) {
    cf.dwEffects = f.effects;
    cf.yHeight = f.height;
    cf.yOffset = f.offset;
    cf.crTextColor = f.color;
    cf.bCharSet = f.charset;
    cf.bPitchAndFamily = f.pitch;
    std::memset(cf.szFaceName, 0, sizeof cf.szFaceName);
    std::memcpy(cf.szFaceName, f.face.data(), std::min<size_t>(f.face.size(), LF_FACESIZE - 1));
    cf.wWeight = f.weight;
}

}  // namespace

int TwipsToPixels(int twips) { return int((int64_t(twips) * 96 + (twips >= 0 ? 720 : -720)) / 1440); }

int RunAt(const Document& d, int pos) {
    auto it = std::upper_bound(d.runs.begin(), d.runs.end(), pos, [](int p, const Run& r) { return p < r.start; });
    return std::max(0, int(it - d.runs.begin()) - 1);
}

int ParaOf(const Document& d, int pos) {
    auto it = std::upper_bound(d.para_starts.begin(), d.para_starts.end(), pos);
    return std::max(0, int(it - d.para_starts.begin()) - 1);
}

int ParaStart(const Document& d, int para) { return d.para_starts[size_t(para)]; }

int ObjectIndexAt(const Document& d, int pos) {
    if (pos < 0 || pos >= int(d.text.size()) || d.text[size_t(pos)] != kObjectChar) return -1;
    return ObjectsBefore(d, pos);
}

int ObjectCp(const Document& d, int index) {
    int seen = 0;
    for (size_t i = 0; i < d.text.size(); ++i)
        if (d.text[i] == kObjectChar && seen++ == index) return int(i);
    return -1;
}

void ReplaceRange(Document& d, int from, int to, std::string_view text, const CharFormat& format,
                  std::vector<RichObject>* gone) {
    const int n = int(d.text.size());
    from = std::clamp(from, 0, n);
    to = std::clamp(to, from, n);
    // Objects inside the range leave with it.
    const int first_object = ObjectsBefore(d, from);
    const int removed_objects = ObjectsBefore(d, to) - first_object;
    for (int i = 0; i < removed_objects; ++i) {
        if (gone) gone->push_back(std::move(d.objects[size_t(first_object) + size_t(i)]));
    }
    d.objects.erase(d.objects.begin() + first_object, d.objects.begin() + first_object + removed_objects);
    // Paragraphs: the breaks removed join paragraphs, the breaks inserted split one.
    const int para = ParaOf(d, from);
    const int last = ParaOf(d, to);
    d.paras.erase(d.paras.begin() + para + 1, d.paras.begin() + last + 1);
    d.para_starts.erase(d.para_starts.begin() + para + 1, d.para_starts.begin() + last + 1);
    const int delta = int(text.size()) - (to - from);
    for (size_t i = size_t(para) + 1; i < d.para_starts.size(); ++i) d.para_starts[i] += delta;
    std::vector<int> new_starts;
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '\r' && text[i + 1] == '\n') new_starts.push_back(from + int(i) + 2);
    d.paras.insert(d.paras.begin() + para + 1, new_starts.size(), d.paras[size_t(para)]);
    d.para_starts.insert(d.para_starts.begin() + para + 1, new_starts.begin(), new_starts.end());
    // Runs: the range's runs go, one run of `format` comes.
    if (n > 0) {
        const int a = SplitAt(d, from);
        const int b = to < n ? SplitAt(d, to) : int(d.runs.size());
        d.runs.erase(d.runs.begin() + a, d.runs.begin() + b);
        for (size_t i = size_t(a); i < d.runs.size(); ++i) d.runs[i].start += delta;
        d.runs.insert(d.runs.begin() + a, Run{from, format});
        ReplaceText(d.text, from, to, text);
        Normalize(d, a, a);
    } else {
        d.runs.assign(1, Run{0, format});
        ReplaceText(d.text, from, to, text);
    }
}

void InsertObjectAt(Document& d, int pos, RichObject object, const CharFormat& format) {
    pos = std::clamp(pos, 0, int(d.text.size()));
    const int index = ObjectsBefore(d, pos);
    ReplaceRange(d, pos, pos, std::string(1, kObjectChar), format, nullptr);
    d.objects.insert(d.objects.begin() + index, std::move(object));
}

std::pair<int, int> WordAt(const std::string& text, int pos) {
    auto word = [](char c) { return c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != kObjectChar; };
    int from = pos, to = pos;
    while (from > 0 && word(text[size_t(from - 1)])) --from;
    while (to < int(text.size()) && word(text[size_t(to)])) ++to;
    return {from, to};
}

std::string PlainText(const Document& d, int from, int to) {
    std::string s = d.text.substr(size_t(from), size_t(to - from));
    std::replace(s.begin(), s.end(), kObjectChar, ' ');
    return s;
}

void FillCharFormat(const Document& d, int from, int to, const CharFormat* only, CHARFORMAT2& cf) {
    const CharFormat& base = only ? *only : d.runs[size_t(RunAt(d, from))].format;
    FillFrom(base, cf);
    cf.dwMask = kEffectMasks | CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_OFFSET | CFM_CHARSET | CFM_WEIGHT;
    if (only || to <= from) return;
    // Attributes that change within the range lose their mask bit.
    for (int i = RunAt(d, from) + 1; i < int(d.runs.size()) && d.runs[size_t(i)].start < to; ++i) {
        const CharFormat& f = d.runs[size_t(i)].format;
        const uint32_t differ = f.effects ^ base.effects;
        cf.dwMask &= ~(differ & kEffectMasks);
        if (f.height != base.height) cf.dwMask &= ~uint32_t(CFM_SIZE);
        if (f.color != base.color || (differ & CFE_AUTOCOLOR)) cf.dwMask &= ~uint32_t(CFM_COLOR);
        if (f.face != base.face || f.pitch != base.pitch) cf.dwMask &= ~uint32_t(CFM_FACE);
        if (f.offset != base.offset) cf.dwMask &= ~uint32_t(CFM_OFFSET);
        if (f.charset != base.charset) cf.dwMask &= ~uint32_t(CFM_CHARSET);
        if (f.weight != base.weight) cf.dwMask &= ~uint32_t(CFM_WEIGHT);
    }
}

void ApplyCharFormat(const CHARFORMAT2& cf, CharFormat& f) {
    const uint32_t m = cf.dwMask;
    f.effects = (f.effects & ~(m & kEffectMasks)) | (cf.dwEffects & m & kEffectMasks);
    if (m & CFM_COLOR) {
        f.effects = (f.effects & ~uint32_t(CFE_AUTOCOLOR)) | (cf.dwEffects & CFE_AUTOCOLOR);
        f.color = cf.crTextColor & 0xFFFFFF;
    }
    if (m & CFM_SIZE) f.height = std::clamp(cf.yHeight, 20, kMaxHeight);
    if (m & CFM_OFFSET) f.offset = std::clamp(cf.yOffset, -kMaxHeight, kMaxHeight);
    if (m & CFM_CHARSET) f.charset = cf.bCharSet;
    if (m & CFM_FACE) {
        // At most 31 characters, whatever the record holds after them.
        f.face.assign(cf.szFaceName, strnlen(cf.szFaceName, LF_FACESIZE - 1));
        f.pitch = cf.bPitchAndFamily;
    }
    if (m & CFM_WEIGHT) {
        f.weight = std::clamp<uint16_t>(cf.wWeight, 0, 1000);
        f.effects = f.weight >= 550 ? f.effects | CFE_BOLD : f.effects & ~uint32_t(CFE_BOLD);
    } else if (m & CFM_BOLD) {
        f.weight = (f.effects & CFE_BOLD) ? 700 : 400;
    }
}

void SetRangeFormat(Document& d, int from, int to, const CHARFORMAT2& cf) {
    if (to <= from) return;
    const int a = SplitAt(d, from);
    const int b = to < int(d.text.size()) ? SplitAt(d, to) : int(d.runs.size());
    for (int i = a; i < b; ++i) ApplyCharFormat(cf, d.runs[size_t(i)].format);
    Normalize(d, a, b);
}

void FillParaFormat(const Document& d, int from, int to, PARAFORMAT2& pf) {
    const int first = ParaOf(d, from), last = ParaOf(d, std::max(from, to));
    const ParaFormat& p = d.paras[size_t(first)];
    pf.wNumbering = p.numbering;
    pf.dxStartIndent = p.start;
    pf.dxRightIndent = p.right;
    pf.dxOffset = p.offset;
    pf.wAlignment = p.alignment;
    pf.cTabCount = p.tab_count;
    std::copy(std::begin(p.tabs), std::end(p.tabs), pf.rgxTabs);
    pf.wNumberingStart = p.numbering_start;
    pf.wNumberingStyle = p.numbering_style;
    pf.wNumberingTab = p.numbering_tab;
    pf.dySpaceBefore = p.space_before;
    pf.dySpaceAfter = p.space_after;
    pf.dwMask = PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT | PFM_TABSTOPS | PFM_NUMBERING |
        PFM_SPACEBEFORE | PFM_SPACEAFTER | PFM_NUMBERINGSTYLE | PFM_NUMBERINGTAB | PFM_NUMBERINGSTART;
    for (int i = first + 1; i <= last; ++i) {
        const ParaFormat& q = d.paras[size_t(i)];
        if (q.start != p.start) pf.dwMask &= ~uint32_t(PFM_STARTINDENT);
        if (q.right != p.right) pf.dwMask &= ~uint32_t(PFM_RIGHTINDENT);
        if (q.offset != p.offset) pf.dwMask &= ~uint32_t(PFM_OFFSET);
        if (q.alignment != p.alignment) pf.dwMask &= ~uint32_t(PFM_ALIGNMENT);
        if (q.numbering != p.numbering) pf.dwMask &= ~uint32_t(PFM_NUMBERING);
        if (q.tab_count != p.tab_count || !std::equal(std::begin(q.tabs), std::end(q.tabs), std::begin(p.tabs)))
            pf.dwMask &= ~uint32_t(PFM_TABSTOPS);
    }
}

void ApplyParaFormat(const PARAFORMAT2& pf, ParaFormat& p) {
    const uint32_t m = pf.dwMask;
    constexpr int32_t kLimit = 0x7FFFFF;  // indents stay far from overflowing in pixels
    if (m & PFM_STARTINDENT) p.start = std::clamp(pf.dxStartIndent, -kLimit, kLimit);
    if (m & PFM_OFFSETINDENT)
        p.start = std::clamp(p.start + std::clamp(pf.dxStartIndent, -kLimit, kLimit), -kLimit, kLimit);
    if (m & PFM_RIGHTINDENT) p.right = std::clamp(pf.dxRightIndent, -kLimit, kLimit);
    if (m & PFM_OFFSET) p.offset = std::clamp(pf.dxOffset, -kLimit, kLimit);
    // An alignment the control does not know leaves the paragraph's as it was.
    if ((m & PFM_ALIGNMENT) && pf.wAlignment >= PFA_LEFT && pf.wAlignment <= PFA_JUSTIFY) p.alignment = pf.wAlignment;
    if (m & PFM_NUMBERING) p.numbering = pf.wNumbering <= PFN_UCROMAN ? pf.wNumbering : uint16_t(PFN_BULLET);
    if (m & PFM_TABSTOPS) {
        p.tab_count = int16_t(std::clamp<int>(pf.cTabCount, 0, MAX_TAB_STOPS));
        std::fill(std::begin(p.tabs), std::end(p.tabs), 0);
        for (int i = 0; i < p.tab_count; ++i) p.tabs[i] = std::clamp(pf.rgxTabs[i], 0, kLimit);
    }
    if (m & PFM_NUMBERINGSTART) p.numbering_start = pf.wNumberingStart;
    if (m & PFM_NUMBERINGSTYLE) p.numbering_style = pf.wNumberingStyle;
    if (m & PFM_NUMBERINGTAB) p.numbering_tab = pf.wNumberingTab;
    if (m & PFM_SPACEBEFORE) p.space_before = std::clamp(pf.dySpaceBefore, 0, kLimit);
    if (m & PFM_SPACEAFTER) p.space_after = std::clamp(pf.dySpaceAfter, 0, kLimit);
}

CharFormat FormatFromFont(const LogFont& lf) {
    CharFormat f;
    f.face = lf.name.substr(0, LF_FACESIZE - 1);
    const int px = lf.height < 0 ? -lf.height : lf.height > 0 ? lf.height * 3 / 4 : 11;
    f.height = px * 15;
    auto bit = [](bool on, uint32_t effect) { return on ? effect : uint32_t{0}; };
    f.effects = CFE_AUTOCOLOR | bit(lf.bold, CFE_BOLD) | bit(lf.italic, CFE_ITALIC) | bit(lf.underline, CFE_UNDERLINE) |
        bit(lf.strike_out, CFE_STRIKEOUT);
    f.weight = lf.bold ? 700 : 400;
    return f;
}

FontPtr FontOf(const CharFormat& f) {
    LogFont lf;
    lf.name = f.face.empty() ? "MS Sans Serif" : f.face;
    lf.height = -std::max(1, TwipsToPixels(f.height));
    lf.bold = (f.effects & CFE_BOLD) || f.weight >= 550;
    lf.italic = f.effects & CFE_ITALIC;
    lf.underline = f.effects & (CFE_UNDERLINE | CFE_LINK);
    lf.strike_out = f.effects & CFE_STRIKEOUT;
    return CreateFont(lf);
}

}  // namespace ui::detail
