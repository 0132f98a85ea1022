#pragma once
// Drawing: pixel surfaces, regions, pens, brushes, fonts and the device context
// with the classic raster operations. Everything is drawn by our own per-pixel
// code except glyphs and wide lines, which Cairo and Pango rasterise without
// antialiasing so that pixels are the same on every machine.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/ui/types.hpp"

typedef struct _cairo_surface cairo_surface_t;

namespace ui {

// ---------------------------------------------------------------- surfaces

enum class PixelFormat { Color32, Mono };

// The largest surface we allocate: a side of 32768 and 128 Mi pixels.
constexpr int kMaxSurfaceSide = 32768;
constexpr int64_t kMaxSurfacePixels = int64_t(1) << 27;

// Colour pixels are 0x00RRGGBB words; monochrome pixels are one byte each,
// 0 for black and 0xFF for white.
class Surface {
public:
    // Zero or negative sizes give an empty surface; a size beyond the limits
    // throws EOutOfResources before anything is allocated.
    static std::shared_ptr<Surface> Create(int width, int height, PixelFormat format);
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    PixelFormat Format() const { return format_; }
    bool Mono() const { return format_ == PixelFormat::Mono; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }
    int Stride() const { return stride_; }

    uint32_t* Row32(int y) { return reinterpret_cast<uint32_t*>(data_ + ptrdiff_t(y) * stride_); }
    const uint32_t* Row32(int y) const { return reinterpret_cast<const uint32_t*>(data_ + ptrdiff_t(y) * stride_); }
    uint8_t* Row8(int y) { return data_ + ptrdiff_t(y) * stride_; }
    const uint8_t* Row8(int y) const { return data_ + ptrdiff_t(y) * stride_; }

    // COLORREF of a pixel (black or white for monochrome); CLR_INVALID outside.
    COLORREF Pixel(int x, int y) const;
    void SetPixel(int x, int y, COLORREF color);
    void Fill(COLORREF color);
    std::shared_ptr<Surface> Copy() const;
    // The Cairo surface over the same pixels (made on first use); call
    // MarkDirty after drawing into it with Cairo.
    cairo_surface_t* Cairo();
    void MarkDirty();
    bool WritePng(const std::string& path);

private:
    Surface() = default;
    int width_ = 0, height_ = 0, stride_ = 0;
    PixelFormat format_ = PixelFormat::Color32;
    uint8_t* data_ = nullptr;
    std::vector<uint8_t> storage_;
    cairo_surface_t* cairo_ = nullptr;
};
using SurfacePtr = std::shared_ptr<Surface>;

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// 0x00BBGGRR <-> 0x00RRGGBB
constexpr uint32_t ToPixel(COLORREF c) { return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF); }
constexpr COLORREF FromPixel(uint32_t p) { return (p & 0xFF) << 16 | (p & 0xFF00) | (p >> 16 & 0xFF); }
// The monochrome value a colour takes: white for light colours.
bool MonoWhite(COLORREF c);

// ---------------------------------------------------------------- regions

// A set of non-overlapping rectangles.
class Region {
public:
    Region() = default;
    explicit Region(const TRect& r) {
        if (!r.Empty()) rects_.push_back(r);
    }
    const std::vector<TRect>& Rects() const { return rects_; }
    bool Empty() const { return rects_.empty(); }
    TRect Bounds() const;
    bool Contains(TPoint p) const;
    bool Intersects(const TRect& r) const;
    void Clear() { rects_.clear(); }
    void Add(const TRect& r);  // union
    void Add(const Region& r);
    void Subtract(const TRect& r);
    void Subtract(const Region& r);
    void Intersect(const TRect& r);
    void Intersect(const Region& r);
    void Offset(int dx, int dy);
    friend bool operator==(const Region& a, const Region& b);

private:
    std::vector<TRect> rects_;
};

// ---------------------------------------------------------------- pens, brushes, fonts

enum PenStyle { PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_NULL = 5, PS_INSIDEFRAME = 6 };
struct Pen {
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

enum BrushStyle { BS_SOLID = 0, BS_NULL = 1, BS_PATTERN = 3 };
struct Brush {
    int style = BS_SOLID;
    COLORREF color = 0xFFFFFF;
    SurfacePtr pattern;  // a monochrome pattern takes the DC's text and background colours
    static Brush Solid(COLORREF c) { return {BS_SOLID, c, nullptr}; }
    static Brush Null() { return {BS_NULL, 0, nullptr}; }
    static Brush Pattern(SurfacePtr p) { return {BS_PATTERN, 0, std::move(p)}; }
};

struct LogFont {
    std::string name = "MS Sans Serif";
    int height = -11;  // negative: character height in pixels; positive: cell height
    bool bold = false, italic = false, underline = false, strike_out = false;
    friend bool operator==(const LogFont&, const LogFont&) = default;
};

class FontFace;
using FontPtr = std::shared_ptr<FontFace>;

struct TextMetrics {
    int ascent = 0, descent = 0, height = 0, internal_leading = 0, ave_char_width = 0, overhang = 0;
};

// A realised font: Pango lays a text out once, after that the width of the
// text and the places of its glyphs come from the text cache, and each glyph
// is rendered once.
FontPtr CreateFont(const LogFont& lf);
const TextMetrics& FontMetrics(const FontPtr& font);
const LogFont& FontLog(const FontPtr& font);
// Number of texts laid out so far, for tests of the text cache.
uint64_t TextLayoutCount();
// The text cache's size in bytes (glyph masks and laid-out texts) and its
// budget; the least recently used texts go when it is full.
constexpr size_t kDefaultTextCacheBudget = size_t(16) << 20;
size_t TextCacheBytes();
void SetTextCacheBudget(size_t bytes);

// ---------------------------------------------------------------- device context

enum BkMode { TRANSPARENT = 1, OPAQUE = 2 };
enum StretchMode { BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, STRETCH_DELETESCANS = 3 };
enum Rop2 { R2_BLACK = 1, R2_NOT = 6, R2_XORPEN = 7, R2_COPYPEN = 13, R2_WHITE = 16 };

// Ternary raster operations (the code's high word selects the operation).
// clang-format off
enum RasterOp : uint32_t {
    BLACKNESS = 0x00000042, NOTSRCERASE = 0x001100A6, NOTSRCCOPY = 0x00330008,
    SRCERASE = 0x00440328, DSTINVERT = 0x00550009, PATINVERT = 0x005A0049,
    SRCINVERT = 0x00660046, SRCAND = 0x008800C6, MERGEPAINT = 0x00BB0226,
    MERGECOPY = 0x00C000CA, SRCCOPY = 0x00CC0020, SRCPAINT = 0x00EE0086,
    PATCOPY = 0x00F00021, PATPAINT = 0x00FB0A09, WHITENESS = 0x00FF0062,
};
// clang-format on
// The result of a ternary operation on pattern, source and destination bits.
uint32_t ApplyRop3(uint8_t code, uint32_t p, uint32_t s, uint32_t d);

class DC {
public:
    explicit DC(SurfacePtr target = nullptr);

    SurfacePtr Target() const { return target_; }
    // Returns the bitmap that was selected.
    SurfacePtr SelectBitmap(SurfacePtr bitmap);

    struct State {
        TPoint origin;               // logical (0,0) in device pixels
        std::optional<Region> clip;  // device pixels; none = the whole target
        COLORREF text_color = 0;
        COLORREF bk_color = 0xFFFFFF;
        int bk_mode = OPAQUE;
        int stretch_mode = BLACKONWHITE;
        int rop2 = R2_COPYPEN;
        Pen pen;
        Brush brush = Brush::Solid(0xFFFFFF);
        FontPtr font;
        TPoint pos;  // MoveTo
        TPoint brush_org;
    };
    State& S() { return state_; }
    const State& S() const { return state_; }

    // Saves the state; returns its level (1 for the first).
    int Save();
    // Restores level `level` (negative: relative to the top); false when there is none.
    bool Restore(int level = -1);

    // The clipping that the window system imposes (a window's visible part);
    // not part of the saved state.
    void SetSystemClip(std::optional<Region> clip) { sysclip_ = std::move(clip); }
    const std::optional<Region>& SystemClip() const { return sysclip_; }

    // Device rectangles where drawing is allowed, intersected with `device`.
    void ClipRects(const TRect& device, std::vector<TRect>& out) const;
    TRect ToDevice(const TRect& r) const { return r.Offset(state_.origin.x, state_.origin.y); }

    // Clipping in logical coordinates.
    void IntersectClipRect(const TRect& r);
    void ExcludeClipRect(const TRect& r);
    void SelectClipRegion(const Region* device_region);  // nullptr: no clipping
    TRect ClipBox() const;                               // logical
    TRect DeviceClipBox() const;                         // device: the target within every clip

private:
    SurfacePtr target_;
    State state_;
    std::vector<State> saved_;
    std::optional<Region> sysclip_;
};

inline COLORREF SetTextColor(DC& dc, COLORREF c) { return std::exchange(dc.S().text_color, c & 0xFFFFFF); }
inline COLORREF SetBkColor(DC& dc, COLORREF c) { return std::exchange(dc.S().bk_color, c & 0xFFFFFF); }
inline int SetBkMode(DC& dc, int mode) { return std::exchange(dc.S().bk_mode, mode); }
inline int SetStretchBltMode(DC& dc, int mode) { return std::exchange(dc.S().stretch_mode, mode); }
inline TPoint SetViewportOrg(DC& dc, TPoint p) { return std::exchange(dc.S().origin, p); }
inline void OffsetViewportOrg(DC& dc, int dx, int dy) {
    dc.S().origin.x += dx;
    dc.S().origin.y += dy;
}

// Blits. A zero or negative size draws nothing; the source may be null for
// operations that do not use it. Stretching picks the nearest source pixel.
bool BitBlt(DC& dst, int x, int y, int w, int h, const DC* src, int sx, int sy, uint32_t rop);
bool StretchBlt(DC& dst, int x, int y, int w, int h, const DC* src, int sx, int sy, int sw, int sh, uint32_t rop);
bool PatBlt(DC& dst, int x, int y, int w, int h, uint32_t rop);
// Draws an image through its mask: where the mask is white the destination stays.
void DrawMasked(DC& dst, int x, int y, int w, int h, const SurfacePtr& image, const SurfacePtr& mask, int sx, int sy);

void FillRect(DC& dc, const TRect& r, const Brush& brush);
void FrameRect(DC& dc, const TRect& r, const Brush& brush);
void InvertRect(DC& dc, const TRect& r);
// Outline in the pen, inside in the brush (right and bottom exclusive).
void Rectangle(DC& dc, const TRect& r);
void Ellipse(DC& dc, const TRect& r);
void MoveTo(DC& dc, int x, int y);
// Draws from the current position up to, not including, the end point.
void LineTo(DC& dc, int x, int y);
COLORREF GetPixel(const DC& dc, int x, int y);
void SetPixel(DC& dc, int x, int y, COLORREF color);
void DrawFocusRect(DC& dc, const TRect& r);

// Edges of 3-D frames.
// clang-format off
enum EdgeFlags : unsigned {
    BDR_RAISEDOUTER = 1, BDR_SUNKENOUTER = 2, BDR_RAISEDINNER = 4, BDR_SUNKENINNER = 8,
    EDGE_RAISED = 5, EDGE_SUNKEN = 10, EDGE_ETCHED = 6, EDGE_BUMP = 9,
    BF_LEFT = 1, BF_TOP = 2, BF_RIGHT = 4, BF_BOTTOM = 8, BF_RECT = 15, BF_ADJUST = 0x2000,
};
// clang-format on
void DrawEdge(DC& dc, TRect& r, unsigned edge, unsigned flags);
// A frame of `width` pixels: top-left in one colour, bottom-right in the other.
void Frame3D(DC& dc, TRect& r, COLORREF top_left, COLORREF bottom_right, int width);

// ---------------------------------------------------------------- text

TSize GetTextExtent(const DC& dc, std::string_view ansi_text);
// Writes a line of text with its top-left at (x, y); in opaque mode the text's
// cell is filled with the background colour first. `clip` (logical) limits
// the drawing when given; `opaque_rect` is filled first when given.
void ExtTextOut(DC& dc, int x, int y, const TRect* clip, const TRect* opaque_rect, std::string_view ansi_text);
inline void TextOut(DC& dc, int x, int y, std::string_view text) { ExtTextOut(dc, x, y, nullptr, nullptr, text); }

// clang-format off
enum DrawTextFlags : unsigned {
    DT_TOP = 0, DT_LEFT = 0, DT_CENTER = 1, DT_RIGHT = 2, DT_VCENTER = 4, DT_BOTTOM = 8,
    DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40, DT_NOCLIP = 0x100,
    DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800,
};
// clang-format on
// Returns the height of the text; with DT_CALCRECT only measures, setting the
// rectangle's right and bottom.
int DrawText(DC& dc, std::string_view ansi_text, TRect& rect, unsigned flags);

}  // namespace ui
