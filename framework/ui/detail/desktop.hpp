#pragma once
// What the parts of the window system share about windows: lookup, geometry,
// visibility, invalidation and waking the loop.
#include "framework/ui/detail/state.hpp"
#include "platform/thread_check.hpp"

namespace ui::detail {

// window_tree.cpp
Win* Find(HWND h);
// A field of a window; its empty value for a handle that is gone.
template <class T>
T Member(HWND h, T Win::*field) {
    const Win* w = Find(h);
    return w ? w->*field : T{};
}
TRect Insets(const Win& w);  // the frame, caption, menu bar and client edge, as the window's WM_NCCALCSIZE left them
TRect FrameInsets(const Win& w);    // the frame and caption alone
TRect DefaultInsets(const Win& w);  // what DefWindowProc answers to WM_NCCALCSIZE
// Asks the window for its client area (WM_NCCALCSIZE) and keeps the answer.
void RecalcNonClient(HWND h);
// The frame changed (a menu bar came or went): the client area is asked
// for again, the window repainted and told its new size when it differs from
// `client_before` (window coordinates; by default what it was before).
void RecalcFrame(HWND h, const TRect* client_before = nullptr);
TRect ClientIn(const Win& w);  // client rectangle in the window's own coordinates
Win* Root(Win* w);
TPoint OriginInRoot(const Win& w);  // the window's top-left in its top-level window's pixels
TPoint ClientOriginInRoot(const Win& w);
bool Visible(const Win* w);  // the window and every parent
bool Within(HWND h, HWND ancestor);
// Puts a top-level window in front of the others of its band (topmost or
// not), behind the windows it owns.
void PlaceTopLevel(HWND h, bool topmost);
bool OwnedBy(const Win& w, HWND owner);  // directly or through its owner's owner
// Tells the display the order of the top-level windows.
void TopLevelsRestacked();

// paint.cpp
// What of `area` (root pixels) the window may draw on: inside every parent's
// client area, outside siblings in front of it and of its parents.
Region VisibleRegion(const Win& w, TRect area, bool clip_own_children);
SurfacePtr EnsureSurface(Win& root);
void InvalidateTree(Win& w);
void InvalidateParentArea(const Win& w);
// Pixels of a top-level window (its own coordinates) to present at the next turn.
void AddDamage(Win& root, const Region& pixels);
// A window that waits for WM_PAINT, parents before children; windows inside
// their own paint are passed over.
HWND FindPaint(HWND filter);
// Sends WM_PAINT; keeps what was invalidated meanwhile for another paint.
void SendPaint(HWND h);
// Presents the damage of every top-level window once no window waits for paint.
void PresentWhenPainted();

// shadow.cpp
// A top-level window was shown, hidden, moved or restacked: the shadows are
// looked at again before the next present.
void TopLevelChanged(const Win& w);
// Damages what lies under shadows that came, went or moved since the last
// present.
void UpdateShadows();
// Presents `pixels` of top-level window `w` with the shadows that windows in
// front of it cast.
void PresentWithShadows(Display& display, Win& w, const SurfacePtr& pixels);
// frame.cpp
// Paints the frame and title bar, limited to `screen_region` when given.
void PaintDefaultFrame(HWND h, const Region* screen_region, bool active);
CaptionLayout LayoutCaption(const Win& w);
// What of the title bar lies at a point in window coordinates: a button's or
// the icon's hit-test code, else HTCAPTION; HTNOWHERE outside the bar.
LRESULT CaptionHitTest(const Win& w, TPoint window_point);
// Paints one title-bar button as it stands now (pressed or not), past any
// procedure that paints the rest of the title bar itself.
void PaintCaptionButton(HWND h, LRESULT hit);

// message_queue.cpp
bool IsInput(UINT m);
// Wakes a loop waiting for messages, on this thread or the display; the
// Locked form with the queue's lock held.
void Wake();
void WakeLocked(PostedQueue& q);
bool OnUiThread(const PostedQueue& q);
// Debug builds: ends the program when `call` comes from any other thread.
inline void RequireUiThread(std::string_view call) {
    if constexpr (platform::kThreadChecks)
        if (const PostedQueue& q = *Ui().queue; !OnUiThread(q))
            platform::WrongThread(call, "the user interface", q.ui_thread.load());
}
// Runs the routines other threads are waiting on (user-interface thread).
void RunCalls(PostedQueue& q);
// Runs `routine` on the user-interface thread and waits for it (at once on
// that thread); its exception comes back to the caller.
void CallOnUiThread(const std::shared_ptr<PostedQueue>& queue, std::function<void()> routine);
// Has the user-interface thread run `routine` later, nobody waiting for it.
void QueueOnUiThread(PostedQueue& q, std::function<void()> routine);
// Ends every waiting call without running it (reset and shutdown); after a
// shutdown (`close`) later calls are refused at once.
void AbandonCalls(PostedQueue& q, bool close = false);

// focus.cpp
// Activates the next window when `gone` was the active one.
void ActivateNext(HWND gone);

// input.cpp
bool IsRawInput(UINT m);
// The messages raw input becomes when it is taken from the queue.
std::vector<MSG> CookInput(const MSG& raw);

// message_queue.cpp
// Posts input with the screen point it happened at (MSG::pt).
void PostInput(HWND h, UINT msg, WPARAM w, LPARAM l, TPoint screen);
// Puts raw input back at the head of the queue.
void PushInputFront(const MSG& raw);
// input.cpp: a press taken as a message goes back as the input it was, to be
// directed anew (the press that closed a menu).
void RequeueMouseFront(const MSG& cooked, TPoint screen);

// edit_box.cpp, button_box.cpp
void RegisterEditClass();
void RegisterButtonClass();
// list_box.cpp, combo_box.cpp (with its list, combo_list.cpp)
void RegisterListBoxClass();
void RegisterComboBoxClass();

// scroll_bars.cpp
void RegisterScrollBarClass();
LRESULT ScrollBarHitTest(const Win& w, TPoint window_point);
void PaintWindowScrollBars(const Win& w, DC& window_dc);
bool StartScrollTracking(HWND h, int bar, TPoint screen);
void TrackScrollBar(TPoint screen);
void EndScrollTracking(bool cancel);

// caret.cpp
// Takes the caret off the window's pixels while it paints or scrolls, and back on.
void CaretOff(HWND h);
void CaretOn(HWND h);

// tracking.cpp
void StartMoveTracking(HWND h, TPoint screen);
// What of a sizing frame lies at a point in window coordinates: an edge's or
// corner's hit-test code (near a corner an edge counts as the corner);
// HTNOWHERE inside the frame, and for a window that cannot be sized there.
LRESULT SizingHitTest(const Win& w, TPoint window_point);
// `hit` (HTLEFT ... HTBOTTOMRIGHT) pressed: the edge or corner follows the
// pointer until the release; Escape puts the window back.
void StartSizeTracking(HWND h, LRESULT hit, TPoint screen);
// A title-bar button pressed: held until the release, which sends its
// system command when the pointer is still on it.
void StartCaptionButtonTracking(HWND h, LRESULT hit);
// SC_CONTEXTHELP: the next click asks the window under it for help (WM_HELP).
void StartContextHelp(HWND h);
// Ends the drag that runs; `cancel` puts back what it changed.
void EndTracking(bool cancel);
// Input taken by the drag that runs: true when it was.
bool TrackInput(const MSG& m);

}  // namespace ui::detail
