// The rich edit's lines: paragraphs broken into lines of pieces within the
// formatting rectangle and their indents, tabs, numbering and alignment;
// places of characters; painting.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <tuple>

#include "framework/ui/detail/rich_state.hpp"
#include "framework/ui/detail/text_state.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui::detail {

namespace {

constexpr int kDefaultTabPixels = 48;  // 720 twips
constexpr int kBulletGap = 6;

int TextWidth(const CharFormat& f, std::string_view text) { return text.empty() ? 0 : FontOf(f)->Shape(text).width; }

std::string Roman(int n, bool upper) {
    static const std::pair<int, const char*> kParts[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"},
                                                         {90, "xc"},  {50, "l"},   {40, "xl"}, {10, "x"},   {9, "ix"},
                                                         {5, "v"},    {4, "iv"},   {1, "i"}};
    std::string s;
    for (const auto& [v, t] : kParts)
        while (n >= v && s.size() < 20) s += t, n -= v;
    if (upper)
        for (char& c : s) c = char(c - 'a' + 'A');
    return s;
}

// The numbering text of the n-th numbered paragraph in a row (0-based).
std::string NumberLabel(const ParaFormat& p, int n) {
    if (p.numbering == PFN_BULLET) return "\x95";
    const int value = p.numbering_start + n;
    std::string v;
    switch (p.numbering) {
    case PFN_ARABIC: v = std::to_string(value); break;
    case PFN_LCLETTER:
    case PFN_UCLETTER:
        v = std::string(1, char((p.numbering == PFN_LCLETTER ? 'a' : 'A') + (value - 1 + 2600) % 26));
        break;
    default: v = Roman(std::max(1, value), p.numbering == PFN_UCROMAN); break;
    }
    switch (p.numbering_style & 0xF00) {
    case PFNS_PARENS: return "(" + v + ")";
    case PFNS_PERIOD: return v + ".";
    case PFNS_PLAIN: return v;
    default: return v + ")";
    }
}

struct Builder {
    const Document& d;
    std::vector<RichLine>& out;
    int width;  // of the formatting rectangle
    bool wrap;

    // The next tab stop after `x` (pixels from the rectangle's left).
    int64_t NextTab(const ParaFormat& p, int64_t x) const {
        for (int i = 0; i < p.tab_count; ++i) {
            const int stop = TwipsToPixels(p.tabs[i]);
            if (stop > x) return stop;
        }
        return (x / kDefaultTabPixels + 1) * kDefaultTabPixels;
    }

    // Places the pieces of a finished line from `left`, and aligns them.
    // Places are summed in 64 bits and kept as ints held at the largest: a
    // line wider than that counts only with hundreds of millions of characters.
    void Finish(RichLine& line, const ParaFormat& p, int left, int right, bool last_of_para) {
        int64_t x = left;
        int64_t content_end = left;
        for (Piece& pc : line.pieces) {
            pc.x = SatInt(x);
            const CharFormat& f = d.runs[size_t(pc.run)].format;
            if (pc.kind == Piece::Tab)
                pc.width = SatInt(NextTab(p, x) - x);
            else if (pc.kind == Piece::Object)
                pc.width = ObjectSize(d.objects[size_t(ObjectIndexAt(d, pc.start))]).cx;
            else
                pc.width = TextWidth(f, std::string_view(d.text).substr(size_t(pc.start), size_t(pc.length)));
            x += pc.width;
            // Trailing blanks do not count for the alignment.
            if (pc.kind == Piece::Text) {
                std::string_view t = std::string_view(d.text).substr(size_t(pc.start), size_t(pc.length));
                const size_t keep = t.find_last_not_of(' ');
                if (keep != std::string_view::npos) content_end = int64_t(pc.x) + TextWidth(f, t.substr(0, keep + 1));
            } else {
                content_end = x;
            }
        }
        const int room = right - left, used = SatInt(content_end - left);
        int shift = 0;
        if (p.alignment == PFA_RIGHT)
            shift = room - used;
        else if (p.alignment == PFA_CENTER)
            shift = (room - used) / 2;
        else if (p.alignment == PFA_JUSTIFY && !last_of_para)
            Justify(line, room - used);
        if (shift > 0 && wrap)
            for (Piece& pc : line.pieces) pc.x += shift;
        // Height: the tallest font or object on the line.
        int ascent = 0, descent = 0;
        for (const Piece& pc : line.pieces) {
            if (pc.kind == Piece::Object) {
                ascent = std::max(ascent, ObjectSize(d.objects[size_t(ObjectIndexAt(d, pc.start))]).cy);
                continue;
            }
            const TextMetrics& tm = FontMetrics(FontOf(d.runs[size_t(pc.run)].format));
            ascent = std::max(ascent, tm.ascent);
            descent = std::max(descent, tm.descent);
        }
        if (line.pieces.empty()) {
            const TextMetrics& tm = FontMetrics(FontOf(d.runs[size_t(RunAt(d, line.start))].format));
            ascent = tm.ascent, descent = tm.descent;
        }
        line.ascent = ascent;
        line.height = ascent + descent;
    }

    // Spreads `extra` pixels over the blanks between words.
    void Justify(RichLine& line, int extra) {
        if (extra <= 0) return;
        for (const Piece& pc : line.pieces)
            if (pc.kind != Piece::Text) return;
        std::vector<Piece> words;
        for (const Piece& pc : line.pieces) {
            int s = pc.start;
            const int end = pc.start + pc.length;
            while (s < end) {
                int w = s;
                while (w < end && d.text[size_t(w)] != ' ') ++w;
                while (w < end && d.text[size_t(w)] == ' ') ++w;
                words.push_back({s, w - s, 0, 0, pc.run, Piece::Text});
                s = w;
            }
        }
        if (words.size() < 2) return;
        int64_t x = line.pieces.front().x;
        const int gaps = int(words.size()) - 1;
        for (size_t i = 0; i < words.size(); ++i) {
            words[i].x = SatInt(x);
            words[i].width =
                TextWidth(d.runs[size_t(words[i].run)].format,
                          std::string_view(d.text).substr(size_t(words[i].start), size_t(words[i].length)));
            x += words[i].width + (i < size_t(gaps) ? extra / gaps + (int(i) < extra % gaps ? 1 : 0) : 0);
        }
        line.pieces = std::move(words);
    }

    void Paragraph(int para, int64_t& y, int& number) {
        const ParaFormat& p = d.paras[size_t(para)];
        const int ps = ParaStart(d, para);
        const int pe = para + 1 < int(d.paras.size()) ? ParaStart(d, para + 1) - 2 : int(d.text.size());
        const int start_px = TwipsToPixels(p.start), rest_px = TwipsToPixels(p.start + p.offset);
        const int right = wrap ? width - TwipsToPixels(p.right) : 1 << 29;
        std::string bullet;
        int first_left = start_px;
        const int place = p.numbering ? number : -1;
        if (p.numbering) {
            bullet = NumberLabel(p, number++);
            const CharFormat& f = d.runs[size_t(RunAt(d, ps))].format;
            first_left = std::max(rest_px, SatInt(int64_t(start_px) + TextWidth(f, bullet) + kBulletGap));
        } else {
            number = 0;
        }
        y += TwipsToPixels(p.space_before);
        int pos = ps;
        bool first = true;
        do {
            RichLine line;
            line.start = pos;
            line.para = para;
            line.first = first;
            line.number = place;
            if (first && !bullet.empty()) line.bullet = bullet, line.bullet_x = start_px;
            const int left = first ? first_left : rest_px;
            int64_t x = left;
            int line_end = pos;
            while (pos < pe) {
                const char c = d.text[size_t(pos)];
                const int run = RunAt(d, pos);
                if (c == '\t' || c == kObjectChar) {
                    const int w =
                        c == '\t' ? SatInt(NextTab(p, x) - x) : ObjectSize(d.objects[size_t(ObjectIndexAt(d, pos))]).cx;
                    if (wrap && x + w > right && !line.pieces.empty() && c == kObjectChar) break;
                    line.pieces.push_back({pos, 1, SatInt(x), w, run, c == '\t' ? Piece::Tab : Piece::Object});
                    x += w;
                    line_end = ++pos;
                    continue;
                }
                // A word with its trailing blanks, within one run.
                const int run_end = run + 1 < int(d.runs.size()) ? d.runs[size_t(run) + 1].start : pe;
                int w_end = pos;
                while (w_end < std::min(pe, run_end) && d.text[size_t(w_end)] != ' ' && d.text[size_t(w_end)] != '\t' &&
                       d.text[size_t(w_end)] != kObjectChar)
                    ++w_end;
                int ink_end = w_end;
                while (w_end < std::min(pe, run_end) && d.text[size_t(w_end)] == ' ') ++w_end;
                const CharFormat& f = d.runs[size_t(run)].format;
                const std::string_view word = std::string_view(d.text).substr(size_t(pos), size_t(ink_end - pos));
                const int ww = TextWidth(f, word);
                if (wrap && x + ww > right && pos > line.start) break;  // the word starts the next line
                if (wrap && x + ww > right) {
                    // A word wider than the line is cut where it no longer fits (at least one character).
                    int cut = pos + 1;
                    while (cut < ink_end &&
                           x + TextWidth(f, std::string_view(d.text).substr(size_t(pos), size_t(cut + 1 - pos))) <=
                               right)
                        ++cut;
                    w_end = cut;
                }
                if (!line.pieces.empty() && line.pieces.back().kind == Piece::Text && line.pieces.back().run == run &&
                    line.pieces.back().start + line.pieces.back().length == pos)
                    line.pieces.back().length += w_end - pos;
                else
                    line.pieces.push_back({pos, w_end - pos, SatInt(x), 0, run, Piece::Text});
                x += TextWidth(f, std::string_view(d.text).substr(size_t(pos), size_t(w_end - pos)));
                line_end = pos = w_end;
            }
            line.length = line_end - line.start;
            Finish(line, p, left, right, pos >= pe);
            line.start -= ps;
            for (Piece& pc : line.pieces) pc.start -= ps;
            line.y = SatInt(y);
            y += line.height;
            out.push_back(std::move(line));
            first = false;
        } while (pos < pe);
        y += TwipsToPixels(p.space_after);
    }
};

}  // namespace

TRect RichFormatRect(HWND h) {
    const TRect c = GetClientRect(h);
    return {c.left + 1, c.top + 1, std::max(c.left + 1, c.right - 1), std::max(c.top + 1, c.bottom - 1)};
}

namespace {

int LineRight(const RichLine& l) {
    return l.pieces.empty() ? 0 : SatInt(int64_t(l.pieces.back().x) + l.pieces.back().width);
}

// The widest of lines [from, to), and how many are that wide.
std::pair<int, int> WidestOf(const std::vector<RichLine>& lines, size_t from, size_t to) {
    int widest = 0, count = 0;
    for (size_t i = from; i < to; ++i) {
        const int w = LineRight(lines[i]);
        if (w > widest) widest = w, count = 0;
        count += w == widest;
    }
    return {widest, count};
}

int CountAt(const std::vector<RichLine>& lines, size_t from, size_t to, int width) {
    int n = 0;
    for (size_t i = from; i < to; ++i) n += LineRight(lines[i]) == width;
    return n;
}

// The index of the first line of paragraph `para` or a later one.
size_t FirstLineOf(const std::vector<RichLine>& lines, int para) {
    return size_t(
        std::lower_bound(lines.begin(), lines.end(), para, [](const RichLine& l, int p) { return l.para < p; }) -
        lines.begin());
}

void LayOutAll(RichState& e, Builder& b) {
    e.lines.clear();
    int64_t y = 0;
    int number = 0;
    for (int para = 0; para < int(e.doc.paras.size()); ++para) b.Paragraph(para, y, number);
    e.paragraphs_laid_out += e.doc.paras.size();
    e.text_height = SatInt(y);
    std::tie(e.text_width, e.widest_lines) = WidestOf(e.lines, 0, e.lines.size());
}

// Lays out again the paragraphs a change touched, and the numbered ones after
// them whose numbers it moved; the lines after those keep their pieces and
// only move by the characters, paragraphs and pixels the change added.
// Gives back the band of the text (its y range) that now looks different:
// the lines laid out again, and everything below them when they moved it.
std::pair<int64_t, int64_t> LayOutDue(RichState& e, Builder& b) {
    const Document& d = e.doc;
    std::vector<RichLine>& lines = e.lines;
    const int first = e.due_first;
    int last = e.due_last;  // paragraphs of `lines`
    const size_t from = FirstLineOf(lines, first);
    size_t to = FirstLineOf(lines, last + 1);
    // Where the paragraph before ends, and its place in a numbered list.
    int64_t y = 0;
    int number = 0;
    if (from > 0) {
        const RichLine& before = lines[from - 1];
        y = int64_t(before.y) + before.height + TwipsToPixels(d.paras[size_t(before.para)].space_after);
        number = before.number + 1;  // 0 when not numbered
    }
    const int64_t band_top = y;
    std::vector<RichLine> fresh;
    Builder again{d, fresh, b.width, b.wrap};
    int para = first;
    for (; para <= last + e.due_paras; ++para) again.Paragraph(para, y, number);
    // Numbered paragraphs after the change whose number it moved.
    while (to < lines.size() && lines[to].number >= 0 && lines[to].number != number) {
        again.Paragraph(para++, y, number);
        to = FirstLineOf(lines, ++last + 1);
    }
    // Where the next paragraph began before, and how far it moves.
    const int64_t was = to < lines.size()
        ? int64_t(lines[to].y) - TwipsToPixels(d.paras[size_t(lines[to].para + e.due_paras)].space_before)
        : e.text_height;
    e.paragraphs_laid_out += uint64_t(para - first);
    const int64_t dy = y - was;
    if (e.due_paras != 0 || dy != 0 || e.due_runs != 0)
        for (size_t i = to; i < lines.size(); ++i) {
            RichLine& l = lines[i];
            l.para += e.due_paras;
            l.y = SatInt(l.y + dy);
            if (e.due_runs != 0)
                for (Piece& pc : l.pieces) pc.run += e.due_runs;
        }
    // The widest line: counted again only when every line that wide went.
    e.widest_lines -= CountAt(lines, from, to, e.text_width);
    const auto [came, came_count] = WidestOf(fresh, 0, fresh.size());
    if (came > e.text_width)
        e.text_width = came, e.widest_lines = came_count;
    else if (came == e.text_width)
        e.widest_lines += came_count;
    if (fresh.size() == to - from) {
        std::move(fresh.begin(), fresh.end(), lines.begin() + std::ptrdiff_t(from));
    } else {
        lines.erase(lines.begin() + std::ptrdiff_t(from), lines.begin() + std::ptrdiff_t(to));
        lines.insert(lines.begin() + std::ptrdiff_t(from), std::make_move_iterator(fresh.begin()),
                     std::make_move_iterator(fresh.end()));
    }
    e.text_height = SatInt(e.text_height + dy);
    if (e.widest_lines <= 0) std::tie(e.text_width, e.widest_lines) = WidestOf(lines, 0, lines.size());
    return {band_top, dy != 0 ? std::numeric_limits<int>::max() : y};
}

int TopOf(const RichState& e) { return e.lines.empty() ? 0 : e.lines[size_t(e.first_line)].y; }

// Asks for the paint of the text band [from, to) as it now stands in the
// window (int's limits stand for no end); all of it when the first line
// shown moved. The paint fills the background itself.
void InvalidateBand(HWND h, const RichState& e, int was_top, int64_t from, int64_t to) {
    const TRect client = GetClientRect(h);
    if (TopOf(e) != was_top) {
        InvalidateRect(h, nullptr, false);
        return;
    }
    const int64_t shift = int64_t(RichFormatRect(h).top) - was_top;
    auto at = [&](int64_t y) { return int(std::clamp<int64_t>(y + shift, client.top, client.bottom)); };
    const TRect band{client.left, at(from), client.right, at(to)};
    if (!band.Empty()) InvalidateRect(h, &band, false);
}

}  // namespace

void RichLayoutDueAll(RichState& e) {
    e.due_all = true;
    e.laid_out = false;
}

void RichLayoutDue(RichState& e, int first, int last, int paras, int runs) {
    if (e.laid_out) {
        e.due_all = false;
        e.due_first = first, e.due_last = last, e.due_paras = paras, e.due_runs = runs;
    } else if (!e.due_all) {
        // Both changes together: from the first paragraph either touched to the
        // last, counted in the paragraphs that were laid out.
        const int now_last = e.due_last + e.due_paras;
        e.due_last += std::max(0, last - now_last);
        e.due_first = std::min(e.due_first, first);
        e.due_paras += paras;
        e.due_runs += runs;
    }
    e.laid_out = false;
}

void RichInvalidateDue(HWND h, const RichState& e) {
    const TRect client = GetClientRect(h);
    if (e.lines.empty()) {
        InvalidateRect(h, nullptr, false);
        return;
    }
    const size_t from = FirstLineOf(e.lines, e.due_first), to = FirstLineOf(e.lines, e.due_last + 1);
    const int64_t shift = int64_t(RichFormatRect(h).top) - TopOf(e);
    const int64_t top = (from < e.lines.size() ? e.lines[from].y : e.text_height) + shift;
    const int64_t bottom = (to < e.lines.size() ? e.lines[to].y : e.text_height) + shift;
    if (bottom <= client.top || top >= client.bottom) {
        InvalidateRect(h, nullptr, false);  // lines above may move those shown; the scroll bars follow at the paint
        return;
    }
    const TRect band{client.left, int(std::max<int64_t>(top, client.top)), client.right,
                     int(std::min<int64_t>(bottom, client.bottom))};
    InvalidateRect(h, &band, false);
}

void LayOutRich(HWND h, RichState& e) {
    const uint32_t style = GetWindowStyle(h);
    Builder b{e.doc, e.lines, RichFormatRect(h).Width(), (style & ES_MULTILINE) && !(style & ES_AUTOHSCROLL)};
    // A change is painted where it is laid out: the band it changed, or all.
    const int was_top = TopOf(e);
    std::optional<std::pair<int64_t, int64_t>> band;
    if (e.due_all || e.lines.empty() || b.width != e.laid_width || b.wrap != e.laid_wrap) {
        LayOutAll(e, b);
        if (!e.laid_out) band = {std::numeric_limits<int>::min(), std::numeric_limits<int>::max()};
    } else if (!e.laid_out) {
        band = LayOutDue(e, b);
    }
    e.due_all = false;
    e.laid_width = b.width, e.laid_wrap = b.wrap;
    e.laid_out = true;
    e.first_line = std::clamp(e.first_line, 0, std::max(0, int(e.lines.size()) - 1));
    if (band) InvalidateBand(h, e, was_top, band->first, band->second);
}

int RichLineOf(const RichState& e, int pos) {
    auto it = std::upper_bound(e.lines.begin(), e.lines.end(), pos,
                               [&d = e.doc](int p, const RichLine& l) { return p < LineStart(d, l); });
    int line = std::max(0, int(it - e.lines.begin()) - 1);
    // A position at a wrapped line's end belongs to the next line.
    return line;
}

int RichVisibleLines(HWND h, const RichState& e) {
    const int height = RichFormatRect(h).Height();
    int n = 0, used = 0;
    for (size_t i = size_t(e.first_line); i < e.lines.size() && used + e.lines[i].height <= height; ++i)
        used += e.lines[i].height, ++n;
    return std::max(1, n);
}

namespace {

int XInPiece(const Document& d, const Piece& pc, int pos) {
    if (pos <= pc.start) return pc.x;
    if (pos >= pc.start + pc.length) return SatInt(int64_t(pc.x) + pc.width);
    if (pc.kind != Piece::Text) return pc.x;
    return SatInt(int64_t(pc.x) +
                  TextWidth(d.runs[size_t(pc.run)].format,
                            std::string_view(d.text).substr(size_t(pc.start), size_t(pos - pc.start))));
}

}  // namespace

TPoint RichPosFromChar(HWND h, RichState& e, int pos) {
    if (!e.laid_out) LayOutRich(h, e);
    const TRect f = RichFormatRect(h);
    if (e.lines.empty()) return {f.left, f.top};
    const RichLine& l = e.lines[size_t(RichLineOf(e, pos))];
    int x = l.pieces.empty() ? 0 : l.pieces.front().x;
    if (l.pieces.empty() && l.first && !l.bullet.empty()) x = l.bullet_x;
    for (const Piece& raw : l.pieces)
        if (const Piece pc = InText(e.doc, l, raw); pos >= pc.start) x = XInPiece(e.doc, pc, pos);
    return {SatInt(int64_t(f.left) + x - e.scroll_x), SatInt(int64_t(f.top) + l.y - TopOf(e))};
}

int RichCharFromPos(HWND h, RichState& e, TPoint p) {
    if (!e.laid_out) LayOutRich(h, e);
    if (e.lines.empty()) return 0;
    const TRect f = RichFormatRect(h);
    const int64_t y = int64_t(p.y) - f.top + TopOf(e), x = int64_t(p.x) - f.left + e.scroll_x;
    // The last line starting at or above y.
    const auto below =
        std::upper_bound(e.lines.begin() + 1, e.lines.end(), y, [](int64_t at, const RichLine& l) { return at < l.y; });
    const size_t li = size_t(below - e.lines.begin()) - 1;
    const RichLine& l = e.lines[li];
    const int line_start = LineStart(e.doc, l);
    int pos = line_start;
    for (const Piece& raw : l.pieces) {
        const Piece pc = InText(e.doc, l, raw);
        if (x < pc.x) break;
        if (x >= int64_t(pc.x) + pc.width) {
            pos = pc.start + pc.length;
            continue;
        }
        if (pc.kind != Piece::Text) return x - pc.x < pc.width / 2 ? pc.start : pc.start + 1;
        for (int i = pc.start; i <= pc.start + pc.length; ++i) {
            const int a = XInPiece(e.doc, pc, i), b = XInPiece(e.doc, pc, i + 1);
            if (x < (int64_t(a) + b) / 2 || i == pc.start + pc.length) return i;
        }
    }
    // Past a wrapped line's text: before its trailing blank, not on the next line.
    const int end = line_start + l.length;
    const bool wrapped = li + 1 < e.lines.size() && e.lines[li + 1].para == l.para;
    return std::min(pos, wrapped && end > line_start ? end - 1 : end);
}

void PaintRich(HWND h, RichState& e) {
    PAINTSTRUCT ps;
    auto dc = BeginPaint(h, ps);
    if (!e.laid_out) LayOutRich(h, e);
    const uint32_t style = GetWindowStyle(h);
    const bool enabled = IsWindowEnabled(h);
    const TRect client = GetClientRect(h);
    FillRect(*dc, client, Brush::Solid(e.auto_background ? GetSysColor(COLOR_WINDOW) : e.background));
    const TRect f = RichFormatRect(h);
    SetBkMode(*dc, TRANSPARENT);
    const bool show_sel = GetFocus() == h || (style & ES_NOHIDESEL);
    const int s0 = SelStart(e), s1 = SelEnd(e);
    const int top = TopOf(e);
    const Document& d = e.doc;
    for (size_t li = size_t(e.first_line); li < e.lines.size(); ++li) {
        const RichLine& l = e.lines[li];
        const int64_t line_y = int64_t(f.top) + l.y - top;
        if (line_y >= f.bottom) break;
        if (line_y + l.height <= ps.rcPaint.top || line_y >= ps.rcPaint.bottom) continue;
        const int ly = int(line_y);
        const int ox = f.left - e.scroll_x;
        const TRect clip{f.left, std::max(f.top, ly), f.right, std::min(f.bottom, ly + l.height)};
        auto color_of = [&](const CharFormat& cf) {
            if (!enabled) return GetSysColor(COLOR_GRAYTEXT);
            return (cf.effects & CFE_AUTOCOLOR) ? GetSysColor(COLOR_WINDOWTEXT) : cf.color;
        };
        if (!l.bullet.empty()) {
            const CharFormat& cf = d.runs[size_t(RunAt(d, LineStart(d, l)))].format;
            dc->S().font = FontOf(cf);
            SetTextColor(*dc, color_of(cf));
            ExtTextOut(*dc, ox + l.bullet_x, ly + l.ascent - FontMetrics(dc->S().font).ascent, &clip, nullptr,
                       l.bullet);
        }
        for (const Piece& raw : l.pieces) {
            const Piece pc = InText(d, l, raw);
            const int px = SatInt(int64_t(ox) + pc.x);
            if (px >= f.right || int64_t(px) + pc.width <= f.left) continue;
            const bool sel_any = show_sel && s0 < pc.start + pc.length && s1 > pc.start && s0 != s1;
            if (pc.kind == Piece::Object) {
                const RichObject& o = d.objects[size_t(ObjectIndexAt(d, pc.start))];
                const TSize sz = ObjectSize(o);
                const int oi = ObjectIndexAt(d, pc.start);
                PaintObject(*dc, o, Bounds(px, ly + l.ascent - sz.cy, sz.cx, sz.cy),
                            sel_any || e.selected_object == oi);
                continue;
            }
            if (pc.kind == Piece::Tab) {
                if (sel_any)
                    FillRect(*dc, Intersect(Bounds(px, ly, pc.width, l.height), clip),
                             Brush::Solid(GetSysColor(COLOR_HIGHLIGHT)));
                continue;
            }
            const CharFormat& cf = d.runs[size_t(pc.run)].format;
            dc->S().font = FontOf(cf);
            const int ty = ly + l.ascent - FontMetrics(dc->S().font).ascent - TwipsToPixels(cf.offset);
            const std::string_view t = std::string_view(d.text).substr(size_t(pc.start), size_t(pc.length));
            SetTextColor(*dc, color_of(cf));
            ExtTextOut(*dc, px, ty, &clip, nullptr, t);
            if (sel_any) {
                // The selected part again, in the highlight's colours.
                const int a = SatInt(int64_t(ox) + XInPiece(d, pc, std::max(s0, pc.start)));
                const int b = SatInt(int64_t(ox) + XInPiece(d, pc, std::min(s1, pc.start + pc.length)));
                const TRect hr = Intersect({a, ly, b, ly + l.height}, clip);
                FillRect(*dc, hr, Brush::Solid(GetSysColor(COLOR_HIGHLIGHT)));
                SetTextColor(*dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
                ExtTextOut(*dc, px, ty, &hr, nullptr, t);
            }
        }
    }
    EndPaint(h, std::move(dc));
}

}  // namespace ui::detail
