// "MAINICON": a green ledger with a gold coin over its lower right corner,
// drawn at 32 and at 16 pixels.
#include <cmath>

#include "framework/ui/resources.hpp"
#include "resources/resources.hpp"

namespace resources::detail {

namespace {

ui::IconResource Ledger(int s) {
    auto image = ui::Surface::Create(s, s, ui::PixelFormat::Color32);
    auto mask = ui::Surface::Create(s, s, ui::PixelFormat::Mono);
    image->Fill(0);
    mask->Fill(0xFFFFFF);
    auto put = [&](int x, int y, ui::COLORREF c) {
        image->SetPixel(x, y, c);
        mask->SetPixel(x, y, 0);
    };
    // The book.
    const int l = s / 10, t = s / 10, r = s * 3 / 4, b = s - s / 10;
    const int pages = r - std::max(2, s / 10);
    for (int y = t; y < b; ++y)
        for (int x = l; x < r; ++x) {
            const bool edge = x == l || y == t || x == r - 1 || y == b - 1;
            ui::COLORREF c = ui::RGB(20, 120, 70);
            if (edge)
                c = ui::RGB(0, 60, 30);
            else if (x >= pages)
                c = ui::RGB(250, 250, 240);
            else if ((y - t) % std::max(3, s / 8) == 0)
                c = ui::RGB(90, 180, 120);
            put(x, y, c);
        }
    // The coin.
    const double cx = s * 0.70, cy = s * 0.68, radius = s * 0.27;
    for (int y = 0; y < s; ++y)
        for (int x = 0; x < s; ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            if (d > radius) continue;
            ui::COLORREF c = ui::RGB(240, 190, 40);
            if (d > radius - 1.2)
                c = ui::RGB(140, 90, 10);
            else if (std::fabs(d - radius * 0.55) < 0.6)
                c = ui::RGB(190, 130, 20);
            put(x, y, c);
        }
    return {image, mask};
}

}  // namespace

void RegisterIcons() {
    ui::RegisterIconResource("MAINICON", Ledger(32));
    ui::RegisterIconResource("MAINICON", Ledger(16));
}

}  // namespace resources::detail
