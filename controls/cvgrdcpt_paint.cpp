// Painting the gradient caption's bar: background, icon, the pieces and the
// title, and which of them give way when the bar is too narrow.
#include <vector>

#include "controls/cvgrdcpt.hpp"
#include "controls/cvutils.hpp"
#include "framework/ui/sysparams.hpp"

namespace controls {

using namespace ui;

namespace {

// A text of the bar with the font and colour it is drawn in.
struct Text {
    std::string caption;
    TFont* font;
    TColor color;  // active or inactive, as the bar is drawn
    bool visible, glue_next;
    int width;
};

// The icon stretched into `place`, through its mask.
void DrawIcon(DC& dc, const TRect& place, const SurfacePtr& image, const SurfacePtr& mask) {
    if (!image || image->Empty()) return;
    auto scaled = Surface::Create(place.Width(), place.Height(), PixelFormat::Color32);
    auto scaled_mask = Surface::Create(place.Width(), place.Height(), PixelFormat::Mono);
    DC si(image), di(scaled), dm(scaled_mask);
    StretchBlt(di, 0, 0, place.Width(), place.Height(), &si, 0, 0, image->Width(), image->Height(), SRCCOPY);
    if (mask) {
        DC sm(mask);
        StretchBlt(dm, 0, 0, place.Width(), place.Height(), &sm, 0, 0, mask->Width(), mask->Height(), SRCCOPY);
    }
    DrawMasked(dc, place.left, place.top, place.Width(), place.Height(), scaled, scaled_mask, 0, 0);
}

// Lays the texts out one after the other, shortened to the room left.
class Painter {
public:
    Painter(TCanvas* canvas, int x, int right, std::vector<BarText>& out)
        : canvas_(canvas), x_(x), right_(right), out_(out) {}

    // Draws one text; true when it was drawn whole. `begins_group`: the
    // first piece, or one glued to the previous one.
    bool Draw(const Text& t, bool begins_group, int index, const Text* previous, TFont* bar_font, TColor bar_color) {
        Use(t.font, t.color);
        const int room = right_ - x_;
        std::string s = ShortenTextToWidth(t.caption, canvas_, room);
        const bool whole = s == t.caption;
        if (t.glue_next && whole && canvas_->TextWidth(s + ".") > room) s = begins_group ? "..." : s + "...";
        if (s == "...") {
            if (!begins_group) return false;
            Use(bar_font, index >= 2 && previous ? previous->color : bar_color);
        }
        out_.push_back({s, x_, font_, color_});
        x_ += canvas_->TextWidth(s);
        return whole;
    }
    int X() const { return x_; }

private:
    void Use(TFont* font, TColor color) {
        font_ = font, color_ = color;
        canvas_->Font()->Assign(font);
    }
    TCanvas* canvas_;
    int x_, right_;
    std::vector<BarText>& out_;
    TFont* font_ = nullptr;
    TColor color_ = clNone;
};

}  // namespace

void TCvGradientCaption::PaintCaption() {
    TCustomForm* f = Form();
    if (!f || !f->HandleAllocated() || f->BorderStyle() == bsNone) return;
    const HWND h = f->WindowHandle();
    const TRect wr = GetWindowRect(h);
    const TRect cap = CaptionRect().Offset(-wr.left, -wr.top);
    if (cap.Empty()) return;
    TBitmap bar;
    bar.SetSize(cap.Width(), cap.Height());
    TCanvas* c = bar.Canvas();
    const int w = cap.Width(), height = cap.Height();
    const TColor caption_color = GradientCaptions()
        ? (window_active_ ? clGradientActiveCaption : clGradientInactiveCaption)
        : (window_active_ ? clActiveCaption : clInactiveCaption);
    if (window_active_ ? gradient_active_ : gradient_inactive_) {
        // A quarter of the gradient lies left of the bar.
        GradientFillRect(c, {-(w / 4), 0, w, height}, start_color_, caption_color, gdLeftToRight,
                         uint8_t(gradient_steps_ & 0xFF));
    } else {
        c->Brush()->SetColor(caption_color);
        c->FillRect({0, 0, w, height});
    }
    int x = 0;
    const TFormBorderStyle bs = f->BorderStyle();
    if ((ConsideredIcons() & biSystemMenu) && (bs == bsSingle || bs == bsSizeable)) {
        const int cx = GetSystemMetrics(SM_CXSMICON), cy = GetSystemMetrics(SM_CYSMICON);
        TIcon small;
        if (!f->Icon()->Empty()) {
            small.Assign(f->Icon());
        } else if (!Application().Icon()->Empty()) {
            if (!small.LoadFromResourceName("MAINICON", cx, cy)) small.Assign(Application().Icon());
        } else {
            const IconResource std_icon = LoadStandardIcon(IDI_APPLICATION, cx, cy);
            small.SetImage(std_icon.image, std_icon.mask);
        }
        DrawIcon(*c->Handle(), Bounds(1 + (height - cx) / 2, (height - cy) / 2, cx, cy), small.Image(), small.Mask());
        x += height;
    }
    if (!form_caption_.empty() || captions_->Count() > 0) {
        for (const BarText& t : BarTexts(c, x, w)) {
            c->Font()->Assign(t.font);
            c->Font()->SetColor(t.color);
            SetBkMode(*c->Handle(), TRANSPARENT);
            TRect r{t.x, 0, w, height};
            DrawText(*c->Handle(), t.text, r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        }
    }
    auto dc = GetWindowDC(h);
    BitBlt(*dc, cap.left, cap.top, w, height, c->Handle(), 0, 0, SRCCOPY);
    ReleaseDC(h, std::move(dc));
}

std::vector<BarText> TCvGradientCaption::BarTexts(TCanvas* c, int x, int right) const {
    std::vector<BarText> out;
    const bool active = window_active_;
    std::vector<Text> pieces;
    for (int i = 0; i < captions_->Count(); ++i) {
        TCvCaption* p = captions_->Item(i);
        TFont* font = p->ParentFont() ? font_.get() : p->Font();
        c->Font()->Assign(p->Font());
        pieces.push_back({p->Caption(), font, active ? font->Color() : p->InactiveColor(), p->Visible(), p->GlueNext(),
                          c->TextWidth(p->Caption())});
    }
    c->Font()->Assign(font_.get());
    const TColor title_color = active ? font_->Color() : font_inactive_color_;
    const Text title{form_caption_, font_.get(), title_color, true, false, c->TextWidth(form_caption_)};
    const int n = int(pieces.size());
    const int room = right - x;
    Painter painter(c, x + 2, right, out);
    auto glued_before = [&](int i) { return i == 0 || pieces[size_t(i - 1)].glue_next; };
    auto previous = [&](int i) { return i > 0 ? &pieces[size_t(i - 1)] : nullptr; };
    if (hide_direction_ == hdLeftToRight) {
        int total = 2 + title.width;
        for (const Text& p : pieces)
            if (p.visible) total += p.width;
        // Whole groups give way from the left.
        int first = 0;
        while (total > room && first < n) {
            int j = first;
            for (;;) {
                if (pieces[size_t(j)].visible) total -= pieces[size_t(j)].width;
                const bool glue = pieces[size_t(j)].glue_next;
                ++j;
                if (!glue || j >= n) break;
            }
            first = j;
        }
        for (int i = first; i < n; ++i)
            if (pieces[size_t(i)].visible)
                painter.Draw(pieces[size_t(i)], glued_before(i), i, previous(i), font_.get(), title_color);
        painter.Draw(title, true, n, n > 0 ? &pieces.back() : nullptr, font_.get(), title_color);
        return out;
    }
    // Right to left: pieces are taken from the left while there is room.
    int taken = 2, count = 0;
    while (count < n && taken < room) {
        int j = count;
        for (;;) {
            if (pieces[size_t(j)].visible) taken += pieces[size_t(j)].width;
            const bool glue = pieces[size_t(j)].glue_next;
            ++j;
            if (!glue || j >= n) break;
        }
        count = j;
    }
    bool all_whole = true;
    for (int i = 0; i < count; ++i) {
        const Text& p = pieces[size_t(i)];
        if (p.caption.empty() || !p.visible) continue;
        if (!painter.Draw(p, glued_before(i), i, previous(i), font_.get(), title_color)) {
            all_whole = false;
            break;
        }
        if (!p.glue_next && painter.X() >= right) break;
    }
    if (painter.X() < right && all_whole && !form_caption_.empty())
        painter.Draw(title, true, n, nullptr, font_.get(), title_color);
    return out;
}

}  // namespace controls
