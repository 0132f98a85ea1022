// The drawing layer: fills and blits of a 1024x768 picture, text, and the
// repaint of a window full of text cells.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "controls/cvutils.hpp"
#include "framework/ui/forms.hpp"

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

// A window of 1024x768 whose 500 cells each show a text, repainted whole.
struct Cells : TCustomControl {
    using TCustomControl::TCustomControl;
    std::vector<std::string> texts = ShortTexts(500);
    void Paint() override {
        TCanvas* c = Canvas();
        for (int i = 0; i < 500; ++i) {
            const TRect r = Bounds(i % 20 * 51, i / 20 * 30, 51, 30);
            c->Brush()->SetColor(i % 2 ? clWindow : clInfoBk);
            c->FillRect(r);
            c->TextRect(r, r.left + 2, r.top + 2, texts[size_t(i)]);
        }
    }
};

void UiRepaint500Cells(benchmark::State& state) {
    InstallDisplay(nullptr);
    auto form = Make<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, kW, kH);
    auto* cells = new Cells(form.get());
    cells->SetParent(form.get());
    cells->SetAlign(alClient);
    form->Show();
    Application().ProcessMessages();
    for (auto _ : state) {
        cells->Invalidate();
        UpdateWindow(cells->Handle());
    }
}
BENCHMARK(UiRepaint500Cells)->Unit(benchmark::kMillisecond);

}  // namespace
