#pragma once
// Bitmap, canvas, message and memory routines shared by the control library.
#include <cstddef>
#include <memory>
#include <string>

#include "framework/ui/controls.hpp"
#include "framework/ui/graphics.hpp"

namespace controls {

using ui::TBitmap;
using ui::TCanvas;
using ui::TColor;
using ui::TRect;

enum TGradientDirection { gdTopToBottom, gdBottomToTop, gdLeftToRight, gdRightToLeft };

// The system's rounding a * b / c: to the nearest, halves away from zero; -1 for c = 0.
int MulDiv(int a, int b, int c);

// `dest` becomes cell `index` of an image strip of `cols` by `rows` cells.
void CopyBitmapCell(ui::TGraphic* source, TBitmap* dest, int cols, int rows, int index);
// What the control's parent and the graphic controls below it show in its area.
void PaintParentBackground(ui::TControl* control, TCanvas* dest);
// Stretches the source rectangle onto the destination; destination pixels stay
// where the source has `transparent` (an RGB value).
void MaskedStretchBlt(ui::DC& dst, int x, int y, int w, int h, const ui::DC& src, int sx, int sy, int sw, int sh,
                      int palette, ui::COLORREF transparent);
void DrawBitmapStretchedTransparent(TCanvas* dest, TBitmap* bitmap, TColor transparent, int dx, int dy, int dw, int dh,
                                    int sx, int sy, int sw, int sh);
void DrawBitmapRectTransparent(TCanvas* dest, int x, int y, const TRect& source, TBitmap* bitmap, TColor transparent);
// The image's shape (the pixels of the outline colour; the black pixels of a
// monochrome image) embossed: highlight one pixel down and right, shadow on top.
std::unique_ptr<TBitmap> CreateDisabledImage(TBitmap* bitmap, TColor outline, TColor back, TColor highlight,
                                             TColor shadow, bool draw_highlight);
std::unique_ptr<TBitmap> CreateDisabledImageDefault(TBitmap* bitmap, TColor outline);
void DrawDisabledImageListItem(ui::TCustomImageList* images, TCanvas* canvas, int x, int y, int index, TColor highlight,
                               TColor shadow, bool draw_highlight);
// 8 by 8: the first colour, with the second where x and y are both even or both odd.
std::unique_ptr<TBitmap> CreateCheckerPatternBitmap(TColor first, TColor second);
void GradientFillRect(TCanvas* canvas, const TRect& rect, TColor start, TColor end, TGradientDirection direction,
                      uint8_t band_count);
std::string ShortenTextToWidth(const std::string& text, TCanvas* canvas, int max_width);
// Tells the user the function is not there yet and ends the action (EAbort).
[[noreturn]] void NotImplemented();

inline int RectWidth(const TRect& r) { return r.right - r.left; }
inline int RectHeight(const TRect& r) { return r.bottom - r.top; }
ui::COLORREF PaletteRelativeColor(TColor color);
// Removes one waiting message `msg` for `hwnd`; a removed quit is posted again.
void DiscardPendingMessage(ui::HWND hwnd, ui::UINT msg);

// Zero-filled memory blocks: nullptr for a size below 1 or when there is no room.
void* AllocZeroedBlock(std::ptrdiff_t size);
void FreeBlock(void*& block);
bool BlocksEqual(const void* a, const void* b, std::ptrdiff_t count);
void* OffsetPointer(void* p, std::ptrdiff_t offset);
void CopyBlock(const void* source, void* dest, std::ptrdiff_t count);

bool AppWindowIsActive();
// The control under the mouse pointer: a graphic control there, else the
// windowed control; nullptr outside the program's windows.
ui::TControl* ControlAtCursor();

}  // namespace controls
