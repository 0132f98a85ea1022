#include "framework/ui/resources.hpp"

#include <strings.h>

#include <algorithm>

#include "framework/ui/detail/state.hpp"

namespace ui {

bool detail::NoCase::operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

namespace {

detail::ResourceStore& S() { return detail::Ui().resources; }

CursorResource Arrow() {
    static const std::vector<std::string> rows = {
        "X...........", "XX..........", "X#X.........", "X##X........", "X###X.......", "X####X......",
        "X#####X.....", "X######X....", "X#######X...", "X########X..", "X#####XXXXX.", "X##X##X.....",
        "X#X.X##X....", "XX..X##X....", "X....X##X...", ".....X##X...", "......XX....",
    };
    return {BitmapFromArt(rows, {{'X', 0}, {'#', 0xFFFFFF}, {'.', 0}}), MaskFromArt(rows, '.'), {0, 0}};
}

// The arrow with a question mark beside it, while help is asked for a window.
CursorResource HelpArrow() {
    static const std::vector<std::string> rows = {
        "X...........XXXXX...", "XX.........X#####X..", "X#X.......X##XXX##X.", "X##X......X##X.X##X.",
        "X###X......XX.X##X..", "X####X.......X##X...", "X#####X.....X##X....", "X######X....X##X....",
        "X#######X....XX.....", "X########X..X##X....", "X#####XXXXX.X##X....", "X##X##X......XX.....",
        "X#X.X##X............", "XX..X##X............", "X....X##X...........", ".....X##X...........",
        "......XX............",
    };
    return {BitmapFromArt(rows, {{'X', 0}, {'#', 0xFFFFFF}, {'.', 0}}), MaskFromArt(rows, '.'), {0, 0}};
}

}  // namespace

SurfacePtr BitmapFromArt(const std::vector<std::string>& rows, const std::map<char, COLORREF>& palette) {
    int w = 0;
    for (const auto& r : rows) w = std::max(w, int(r.size()));
    auto s = Surface::Create(w, int(rows.size()), PixelFormat::Color32);
    for (int y = 0; y < int(rows.size()); ++y)
        for (int x = 0; x < int(rows[size_t(y)].size()); ++x) {
            auto it = palette.find(rows[size_t(y)][size_t(x)]);
            s->SetPixel(x, y, it == palette.end() ? 0 : it->second);
        }
    return s;
}

SurfacePtr MaskFromArt(const std::vector<std::string>& rows, char set) {
    int w = 0;
    for (const auto& r : rows) w = std::max(w, int(r.size()));
    auto s = Surface::Create(w, int(rows.size()), PixelFormat::Mono);
    for (int y = 0; y < int(rows.size()); ++y)
        for (int x = 0; x < w; ++x) {
            const bool on = x >= int(rows[size_t(y)].size()) || rows[size_t(y)][size_t(x)] == set;
            s->Row8(y)[x] = on ? 0xFF : 0;
        }
    return s;
}

void RegisterBitmapResource(const std::string& name, SurfacePtr bitmap) { S().bitmaps[name] = std::move(bitmap); }

SurfacePtr FindBitmapResource(const std::string& name) {
    auto it = S().bitmaps.find(name);
    return it == S().bitmaps.end() ? nullptr : it->second;
}

void RegisterIconResource(const std::string& name, IconResource icon) {
    auto& sizes = S().icons[name];
    auto same = [&](const IconResource& i) {
        return i.image && icon.image && i.image->Width() == icon.image->Width() &&
            i.image->Height() == icon.image->Height();
    };
    auto it = std::find_if(sizes.begin(), sizes.end(), same);
    if (it != sizes.end())
        *it = std::move(icon);
    else
        sizes.push_back(std::move(icon));
}

const IconResource* FindIconResource(const std::string& name) {
    auto it = S().icons.find(name);
    return it == S().icons.end() || it->second.empty() ? nullptr : &it->second.front();
}

const IconResource* FindIconResource(const std::string& name, int width, int height) {
    auto it = S().icons.find(name);
    if (it == S().icons.end() || it->second.empty()) return nullptr;
    for (const IconResource& i : it->second)
        if (i.image && i.image->Width() == width && i.image->Height() == height) return &i;
    return &it->second.front();
}

IconResource LoadStandardIcon(int, int width, int height) {
    // A window: a blue title bar over a white client with a dark frame.
    auto image = Surface::Create(width, height, PixelFormat::Color32);
    auto mask = Surface::Create(width, height, PixelFormat::Mono);
    image->Fill(RGB(255, 255, 255));
    const int bar = std::max(2, height / 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool edge = x == 0 || y == 0 || x == width - 1 || y == height - 1;
            if (edge)
                image->SetPixel(x, y, RGB(0, 0, 0));
            else if (y < bar)
                image->SetPixel(x, y, RGB(10, 36, 106));
        }
    return {image, mask};
}

void RegisterCursorResource(const std::string& name, CursorResource cursor) { S().cursors[name] = std::move(cursor); }

HCURSOR LoadCursor(const std::string& name) {
    auto it = S().cursors.find(name);
    if (it == S().cursors.end()) return 0;
    const HCURSOR h = S().next_cursor++;
    S().loaded[h] = it->second;
    return h;
}

HCURSOR LoadStandardCursor(int id) {
    auto& h = S().standard_cursors[id];
    if (!h || !S().loaded.count(h)) {
        h = S().next_cursor++;
        S().loaded[h] = id == IDC_HELP ? HelpArrow() : Arrow();
    }
    return h;
}

const CursorResource* CursorOf(HCURSOR cursor) {
    auto it = S().loaded.find(cursor);
    return it == S().loaded.end() ? nullptr : &it->second;
}

void RegisterResourceString(int id, const std::string& text) { S().strings[id] = text; }

std::string LoadStr(int id) {
    auto it = S().strings.find(id);
    return it == S().strings.end() ? std::string() : it->second;
}

}  // namespace ui
