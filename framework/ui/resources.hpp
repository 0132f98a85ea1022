#pragma once
// Named resources built into the program (bitmaps, icons, cursors) and the
// string table. Units register theirs when the program starts.
#include <map>
#include <string>
#include <vector>

#include "framework/ui/resource_types.hpp"

namespace ui {

// A picture from rows of characters, one character a pixel, through a palette.
// Characters missing from the palette are black.
SurfacePtr BitmapFromArt(const std::vector<std::string>& rows, const std::map<char, COLORREF>& palette);
// A monochrome picture: `set` marks white pixels.
SurfacePtr MaskFromArt(const std::vector<std::string>& rows, char set);

// Names are compared without regard to case, as resource names are.
void RegisterBitmapResource(const std::string& name, SurfacePtr bitmap);
SurfacePtr FindBitmapResource(const std::string& name);

// An icon may come in several sizes: each registration adds one (replacing
// one of the same size).
void RegisterIconResource(const std::string& name, IconResource icon);
// The first size registered.
const IconResource* FindIconResource(const std::string& name);
// The size asked for, else the first size registered.
const IconResource* FindIconResource(const std::string& name, int width, int height);
// The system's icons.
enum StandardIcon : int { IDI_APPLICATION = 32512 };
IconResource LoadStandardIcon(int id, int width, int height);

void RegisterCursorResource(const std::string& name, CursorResource cursor);

// The cursor of that name (a new handle each call), 0 when there is none.
HCURSOR LoadCursor(const std::string& name);
// The system's cursors.
enum StandardCursor : int {
    IDC_ARROW = 32512,
    IDC_IBEAM = 32513,
    IDC_WAIT = 32514,
    IDC_CROSS = 32515,
    IDC_SIZENWSE = 32642,
    IDC_SIZENESW = 32643,
    IDC_SIZEWE = 32644,
    IDC_SIZENS = 32645,
    IDC_NO = 32648,
    IDC_HAND = 32649,
    IDC_HELP = 32651
};
HCURSOR LoadStandardCursor(int id);
const CursorResource* CursorOf(HCURSOR cursor);

// The string table.
void RegisterResourceString(int id, const std::string& text);
std::string LoadStr(int id);  // empty when there is none

}  // namespace ui
