// The drawing layer: fills and blits of a 1024x768 picture, text, a long
// line of tabs expanded (against one of blanks), the repaint of a window
// full of text cells (new texts and drawn-before texts, each against the
// same cells drawn by plain Pango), and a frame of a form
// whose 20 panels repaint, against converting the form's pixels for the
// screen in memory and against plain Cairo and Pango drawing the same panels.
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <chrono>
#include <string>
#include <vector>

#include "controls/cvutils.hpp"
#include "framework/ui/detail/text_state.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/scroll_bars.hpp"

namespace {

using namespace ui;

constexpr int kW = 1024, kH = 768;
constexpr int64_t kPictureBytes = int64_t(kW) * kH * 4;

void UiGradientFill1024x768(benchmark::State& state) {
    TBitmap b;
    b.SetSize(kW, kH);
    for (auto _ : state) {
        controls::GradientFillRect(b.Canvas(), {0, 0, kW, kH}, clNavy, clAqua, controls::gdLeftToRight, 255);
        benchmark::DoNotOptimize(b.Handle()->Row32(0));
    }
    state.SetBytesProcessed(state.iterations() * kPictureBytes);
}
BENCHMARK(UiGradientFill1024x768)->Unit(benchmark::kMillisecond);

// Pattern, source and destination all take part.
void UiRasterOpBlit1024x768(benchmark::State& state) {
    DC dst(Surface::Create(kW, kH, PixelFormat::Color32)), src(Surface::Create(kW, kH, PixelFormat::Color32));
    src.Target()->Fill(RGB(200, 10, 90));
    dst.S().brush = Brush::Solid(RGB(1, 2, 3));
    for (auto _ : state) {
        BitBlt(dst, 0, 0, kW, kH, &src, 0, 0, 0x00E20746);
        benchmark::DoNotOptimize(dst.Target()->Row32(0));
    }
    state.SetBytesProcessed(state.iterations() * kPictureBytes);
}
BENCHMARK(UiRasterOpBlit1024x768)->Unit(benchmark::kMillisecond);

void UiCopyBlit1024x768(benchmark::State& state) {
    DC dst(Surface::Create(kW, kH, PixelFormat::Color32)), src(Surface::Create(kW, kH, PixelFormat::Color32));
    for (auto _ : state) {
        BitBlt(dst, 0, 0, kW, kH, &src, 0, 0, SRCCOPY);
        benchmark::DoNotOptimize(dst.Target()->Row32(0));
    }
    state.SetBytesProcessed(state.iterations() * kPictureBytes);
}
BENCHMARK(UiCopyBlit1024x768)->Unit(benchmark::kMillisecond);

std::vector<std::string> ShortTexts(int n) {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back("Payee " + std::to_string(i % 500) + " 12.50");
    return out;
}

// 10,000 short strings, 500 of them different (a grid page's worth).
void UiDrawText10000(benchmark::State& state) {
    DC dc(Surface::Create(kW, kH, PixelFormat::Color32));
    dc.S().font = CreateFont(LogFont{"Tahoma", -11});
    SetBkMode(dc, TRANSPARENT);
    const auto texts = ShortTexts(10000);
    for (auto _ : state) {
        for (size_t i = 0; i < texts.size(); ++i) {
            TRect r = Bounds(int(i % 16) * 64, int(i / 16 % 48) * 16, 64, 16);
            DrawText(dc, texts[i], r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        }
    }
    state.SetItemsProcessed(state.iterations() * int64_t(texts.size()));
}
BENCHMARK(UiDrawText10000)->Unit(benchmark::kMillisecond);

// A line of 100 KB with 10,000 tabs, expanded and measured, a new line each
// time; against measuring a line as long with blanks where the tabs were
// (one layout of the whole line, the least the expansion can cost).
void TabbedLine(benchmark::State& state, char tab, unsigned flags) {
    DC dc(Surface::Create(kW, kH, PixelFormat::Color32));
    dc.S().font = CreateFont(LogFont{"Tahoma", -11});
    std::string line;
    for (int i = 0; i < 10000; ++i) line += std::string("abcdefghi") + tab;
    int64_t n = 0;
    for (auto _ : state) {
        TRect r{0, 0, 100, 20};
        DrawText(dc, line + std::to_string(n++), r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | flags);
        benchmark::DoNotOptimize(r.right);
    }
    state.SetBytesProcessed(state.iterations() * int64_t(line.size()));
}
void UiExpandTabs100KB(benchmark::State& state) { TabbedLine(state, '\t', DT_EXPANDTABS); }
BENCHMARK(UiExpandTabs100KB)->Unit(benchmark::kMillisecond);
void UiExpandTabs100KB_vs_blanks(benchmark::State& state) { TabbedLine(state, ' ', 0); }
BENCHMARK(UiExpandTabs100KB_vs_blanks)->Unit(benchmark::kMillisecond);

// A window of 1024x768 whose 500 cells each show a text, repainted whole.
constexpr int kCells = 500;
TRect CellRect(int i) { return Bounds(i % 20 * 51, i / 20 * 30, 51, 30); }

struct Cells : TCustomControl {
    using TCustomControl::TCustomControl;
    std::vector<std::string> texts = ShortTexts(kCells);
    void Paint() override {
        TCanvas* c = Canvas();
        for (int i = 0; i < kCells; ++i) {
            const TRect r = CellRect(i);
            c->Brush()->SetColor(i % 2 ? clWindow : clInfoBk);
            c->FillRect(r);
            c->TextRect(r, r.left + 2, r.top + 2, texts[size_t(i)]);
        }
    }
};

// Texts never drawn before: a fresh set each call.
std::vector<std::string> NewTexts() {
    static int64_t serial = 0;
    std::vector<std::string> out;
    for (int i = 0; i < kCells; ++i) out.push_back("Payee " + std::to_string(serial++) + " 12.50");
    return out;
}

// A kW x kH image surface, its Cairo context and a Pango layout in `font` at
// 11 pixels, as the program's text is drawn.
class PlainCanvas {
public:
    explicit PlainCanvas(const char* font) {
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kW, kH);
        cr_ = cairo_create(surface_);
        cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
        layout_ = pango_layout_new(detail::Text().context);
        PangoFontDescription* d = pango_font_description_from_string(font);
        pango_font_description_set_absolute_size(d, 11 * PANGO_SCALE);
        pango_layout_set_font_description(layout_, d);
        pango_font_description_free(d);
    }
    ~PlainCanvas() {
        g_object_unref(layout_);
        cairo_destroy(cr_);
        cairo_surface_destroy(surface_);
    }
    PlainCanvas(const PlainCanvas&) = delete;
    PlainCanvas& operator=(const PlainCanvas&) = delete;

protected:
    cairo_surface_t* surface_;
    cairo_t* cr_;
    PangoLayout* layout_;
};

// The same cells drawn by plain Pango and Cairo, with the program's fonts.
class PlainPango : PlainCanvas {
public:
    PlainPango() : PlainCanvas("Tahoma") {}
    void Repaint(const std::vector<std::string>& texts) {
        for (int i = 0; i < kCells; ++i) {
            const TRect r = CellRect(i);
            const double v = i % 2 ? 1.0 : 0.9;
            cairo_set_source_rgb(cr_, v, v, 0.88);
            cairo_rectangle(cr_, r.left, r.top, r.Width(), r.Height());
            cairo_fill(cr_);
            cairo_save(cr_);
            cairo_rectangle(cr_, r.left, r.top, r.Width(), r.Height());
            cairo_clip(cr_);
            cairo_set_source_rgb(cr_, 0, 0, 0);
            cairo_move_to(cr_, r.left + 2, r.top + 2);
            pango_layout_set_text(layout_, texts[size_t(i)].data(), int(texts[size_t(i)].size()));
            pango_cairo_show_layout(cr_, layout_);
            cairo_restore(cr_);
        }
        cairo_surface_flush(surface_);
    }
};

// Seconds per call of `work`, over enough calls to take a tenth of a second.
template <class F>
double SecondsPerCall(F work) {
    using clock = std::chrono::steady_clock;
    int calls = 0;
    const auto start = clock::now();
    while (clock::now() - start < std::chrono::milliseconds(100) || calls < 3) work(), ++calls;
    return std::chrono::duration<double>(clock::now() - start).count() / calls;
}

struct CellsForm {
    CellsForm() {
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, kW, kH);
        cells = new Cells(form.get());
        cells->SetParent(form.get());
        cells->SetAlign(alClient);
        form->Show();
        Application().ProcessMessages();
    }
    void Repaint() {
        cells->Invalidate();
        UpdateWindow(cells->Handle());
    }
    Owned<TForm> form = Make<TForm>(nullptr);
    Cells* cells = nullptr;
};

// vs_plain_pango: this repaint's time as a multiple of the plain Pango one.
void UiRepaint500CellsNewText(benchmark::State& state) {
    UiReset();
    CellsForm f;
    for (auto _ : state) {
        state.PauseTiming();
        f.cells->texts = NewTexts();
        state.ResumeTiming();
        f.Repaint();
    }
    PlainPango plain;
    const double ours = SecondsPerCall([&] {
        f.cells->texts = NewTexts();
        f.Repaint();
    });
    const double theirs = SecondsPerCall([&] { plain.Repaint(NewTexts()); });
    state.counters["vs_plain_pango"] = ours / theirs;
}
BENCHMARK(UiRepaint500CellsNewText)->Unit(benchmark::kMillisecond);

void UiRepaint500CellsCachedText(benchmark::State& state) {
    UiReset();
    CellsForm f;
    for (auto _ : state) f.Repaint();
    PlainPango plain;
    const auto texts = ShortTexts(kCells);
    const double ours = SecondsPerCall([&] { f.Repaint(); });
    const double theirs = SecondsPerCall([&] { plain.Repaint(texts); });
    state.counters["vs_plain_pango"] = ours / theirs;
}
BENCHMARK(UiRepaint500CellsCachedText)->Unit(benchmark::kMillisecond);

// Converts the rows [top, bottom) of 32-bit pixels to the screen's byte
// order in memory, as the SDL display does for its window surface.
void ConvertForScreen(const uint32_t* pixels, int stride, int left, int top, int right, int bottom, int width,
                      std::vector<uint8_t>& screen) {
    for (int y = top; y < bottom; ++y) {
        const uint32_t* from = pixels + size_t(y) * size_t(stride) + left;
        uint8_t* to = screen.data() + (size_t(y) * size_t(width) + size_t(left)) * 3;
        for (int x = 0; x < right - left; ++x, to += 3)
            to[0] = uint8_t(from[x]), to[1] = uint8_t(from[x] >> 8), to[2] = uint8_t(from[x] >> 16);
    }
}

// A screen in memory: presenting converts the damaged pixels, and shows
// nothing; the screen itself is not written.
class MemoryDisplay final : public Display {
public:
    void WindowShown(HWND, const TRect&, bool) override {}
    void WindowHidden(HWND) override {}
    void WindowMoved(HWND, const TRect&) override {}
    void WindowDestroyed(HWND) override {}
    void Present(HWND, const Surface& pixels, const Region& damaged) override {
        screen_.resize(size_t(pixels.Width()) * size_t(pixels.Height()) * 3);
        const int stride = pixels.Height() > 1 ? int(pixels.Row32(1) - pixels.Row32(0)) : pixels.Width();
        for (const TRect& r : damaged.Rects())
            ConvertForScreen(pixels.Row32(0), stride, r.left, r.top, r.right, r.bottom, pixels.Width(), screen_);
        ++presents;
    }
    bool Wait(int) override { return true; }
    void Wake() override {}
    TSize ScreenSize() override { return {kW, kH}; }
    int presents = 0;

private:
    std::vector<uint8_t> screen_;
};

constexpr int kPanels = 20;
TRect PanelRect(int i) { return Bounds(i % 5 * (kW / 5), i / 5 * (kH / 4), kW / 5, kH / 4); }

// The same 20 panels drawn by plain Cairo and Pango (the raised bevel, the
// face, the caption centred in the form's font), then converted for the
// screen in memory as the frame's present is.
class PlainPanels : PlainCanvas {
public:
    PlainPanels() : PlainCanvas("MS Sans Serif"), screen_(size_t(kW) * kH * 3) {}
    void Frame() {
        auto fill = [this](double x, double y, double w, double h, double v) {
            cairo_set_source_rgb(cr_, v, v, v * 0.95);
            cairo_rectangle(cr_, x, y, w, h);
            cairo_fill(cr_);
        };
        for (int i = 0; i < kPanels; ++i) {
            const TRect r = PanelRect(i);
            const double x = r.left, y = r.top, w = r.Width(), h = r.Height();
            fill(x, y, w, 1, 1.0), fill(x, y, 1, h, 1.0);                  // highlight
            fill(x, y + h - 1, w, 1, 0.5), fill(x + w - 1, y, 1, h, 0.5);  // shadow
            fill(x + 1, y + 1, w - 2, h - 2, 0.83);                        // face
            const std::string caption = "Panel " + std::to_string(i);
            pango_layout_set_text(layout_, caption.data(), int(caption.size()));
            int tw = 0, th = 0;
            pango_layout_get_pixel_size(layout_, &tw, &th);
            cairo_set_source_rgb(cr_, 0, 0, 0);
            cairo_move_to(cr_, x + (w - tw) / 2, y + (h - th) / 2);
            pango_cairo_show_layout(cr_, layout_);
        }
        cairo_surface_flush(surface_);
        const auto* pixels = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(surface_));
        ConvertForScreen(pixels, cairo_image_surface_get_stride(surface_) / 4, 0, 0, kW, kH, kW, screen_);
    }

private:
    std::vector<uint8_t> screen_;
};

// A 1024x768 form of 20 captioned panels, all repainted in one loop turn:
// vs_pixel_conversion is the frame's time as a multiple of converting the
// form's pixels for the screen in memory (what presenting it costs before the
// screen is written; nothing reaches a screen here); vs_plain_cairo_pango as a
// multiple of plain Cairo and Pango drawing the same panels and converting them.
void UiFrame20Children(benchmark::State& state) {
    UiReset();
    MemoryDisplay display;
    InstallDisplay(&display);
    {
        auto form = Make<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, kW, kH);
        std::vector<TPanel*> panels;
        for (int i = 0; i < kPanels; ++i) {
            auto* p = new TPanel(form.get());
            const TRect r = PanelRect(i);
            p->SetBounds(r.left, r.top, r.Width(), r.Height());
            p->SetCaption("Panel " + std::to_string(i));
            p->SetParent(form.get());
            panels.push_back(p);
        }
        form->Show();
        Application().ProcessMessages();
        auto frame = [&] {
            for (TPanel* p : panels) p->Invalidate();
            Application().ProcessMessages();
        };
        for (auto _ : state) frame();
        const HWND h = form->WindowHandle();
        const SurfacePtr pixels = GetWindowSurface(h);
        const Region whole(TRect{0, 0, kW, kH});
        const double conversion = SecondsPerCall([&] { display.Present(h, *pixels, whole); });
        PlainPanels plain;
        const double peer = SecondsPerCall([&] { plain.Frame(); });
        const int before = display.presents;
        int frames = 0;
        const double per_frame = SecondsPerCall([&] { frame(), ++frames; });
        state.counters["vs_pixel_conversion"] = per_frame / conversion;
        state.counters["vs_plain_cairo_pango"] = per_frame / peer;
        state.counters["presents_per_frame"] = double(display.presents - before) / frames;
    }
    InstallDisplay(nullptr);
}
BENCHMARK(UiFrame20Children)->Unit(benchmark::kMillisecond);

// A grid-like form of 500 visible cells (25 rows of 20) over 2,000 rows, with
// a vertical scroll bar; a line down moves the pixels with ScrollWindow and
// paints the one row that comes into view.
struct ScrolledCells : TCustomControl {
    static constexpr int kRowHeight = 30, kColumns = 20, kRows = 2000;
    using TCustomControl::TCustomControl;
    int top = 0;
    void CreateParams(ui::CreateParams& p) override {
        TCustomControl::CreateParams(p);
        p.style |= WS_VSCROLL;
    }
    void CreateHandleDone() override { SetScrollRange(Handle(), SB_VERT, 0, kRows - 1, false); }
    void Paint() override {
        TCanvas* c = Canvas();
        const TRect clip = c->Handle()->ClipBox();
        const int cell_w = ClientWidth() / kColumns;
        for (int row = clip.top / kRowHeight; row * kRowHeight < clip.bottom; ++row)
            for (int col = 0; col < kColumns; ++col) {
                const int n = (top + row) * kColumns + col;
                const TRect r = Bounds(col * cell_w, row * kRowHeight, cell_w, kRowHeight);
                c->Brush()->SetColor((top + row) % 2 ? clWindow : clInfoBk);
                c->FillRect(r);
                c->TextRect(r, r.left + 2, r.top + 2, "Payee " + std::to_string(n % 700) + " 12.50");
            }
    }
    void WndProc(TMessage& m) override {
        if (m.Msg == WM_VSCROLL && (m.WParam & 0xFFFF) == SB_LINEDOWN && top + 1 < kRows) {
            ++top;
            SetScrollPos(handle_, SB_VERT, top, true);
            ScrollWindow(handle_, 0, -kRowHeight, nullptr, nullptr);
            return;
        }
        TCustomControl::WndProc(m);
    }
};

// vs_full_repaint: one frame of a line scrolled as a multiple of repainting
// the whole form; presents_per_frame: how often the screen was written.
void UiScrolled500CellsFrame(benchmark::State& state) {
    UiReset();
    MemoryDisplay display;
    InstallDisplay(&display);
    {
        auto form = Make<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, kW, 25 * ScrolledCells::kRowHeight);
        auto* cells = new ScrolledCells(form.get());
        cells->SetParent(form.get());
        cells->SetAlign(alClient);
        form->Show();
        Application().ProcessMessages();
        const HWND h = cells->Handle();
        auto frame = [&] {
            if (cells->top + 1 >= ScrolledCells::kRows) cells->top = 0;
            SendMessage(h, WM_VSCROLL, SB_LINEDOWN, 0);
            Application().ProcessMessages();
        };
        for (auto _ : state) frame();
        const double full = SecondsPerCall([&] {
            cells->Invalidate();
            Application().ProcessMessages();
        });
        const int before = display.presents;
        int frames = 0;
        const double per_frame = SecondsPerCall([&] { frame(), ++frames; });
        state.counters["vs_full_repaint"] = per_frame / full;
        state.counters["presents_per_frame"] = double(display.presents - before) / frames;
    }
    InstallDisplay(nullptr);
}
BENCHMARK(UiScrolled500CellsFrame)->Unit(benchmark::kMillisecond);

}  // namespace
