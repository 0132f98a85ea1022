#pragma once
// Libraries above the window system keep their user-interface state in a part
// of the window system's one state (UiStart, UiShutdown, UiReset in
// window.hpp), so that a reset and the shutdown reach it as they reach the
// desktop. The window system cannot name such a library's types; the library
// registers a maker instead, as the engine's libraries register starters.
#include <cstddef>
#include <memory>

namespace ui {

// A library's state: made on its first use after UiStart, dropped by
// UiShutdown, told by UiReset to start afresh. Both run before the desktop
// goes, so windows the part holds are still there. The parts belong to the
// user-interface thread.
class UiStatePart {
public:
    virtual ~UiStatePart() = default;
    virtual void Reset() = 0;
};

using UiStatePartMaker = std::unique_ptr<UiStatePart> (*)();

// Registers a part once per process and gives the index that finds it; a
// library registers on its first use (`static const size_t part =
// AddUiStatePart(&MakeMyState);`), so only programs that use it pay for it.
size_t AddUiStatePart(UiStatePartMaker make);
// The part of that index in the running state, made when missing.
UiStatePart& UiStatePartAt(size_t index);

}  // namespace ui
