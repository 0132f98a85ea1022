#pragma once
// Windows and messages: handles created on demand, window procedures with
// subclassing, the message queue, paint and timer messages, focus, capture,
// activation and the caret. Everything runs on the user-interface thread
// except PostMessage and PostThreadMessage, which any thread may call.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/ui/gdi.hpp"
#include "framework/ui/resource_types.hpp"
#include "framework/ui/types.hpp"

namespace ui {

using HWND = uint32_t;  // 0: none. Handles are never reused.
using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

constexpr LPARAM MAKELPARAM(int lo, int hi) { return LPARAM(uint32_t(uint16_t(lo)) | uint32_t(uint16_t(hi)) << 16); }
constexpr WPARAM MAKEWPARAM(int lo, int hi) { return WPARAM(uint32_t(uint16_t(lo)) | uint32_t(uint16_t(hi)) << 16); }
constexpr int LOWORD_S(LPARAM l) { return int16_t(uint16_t(l & 0xFFFF)); }
constexpr int HIWORD_S(LPARAM l) { return int16_t(uint16_t((l >> 16) & 0xFFFF)); }

// clang-format off
enum WindowMessage : UINT {
    WM_NULL = 0x0000, WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_MOVE = 0x0003, WM_SIZE = 0x0005,
    WM_ACTIVATE = 0x0006, WM_SETFOCUS = 0x0007, WM_KILLFOCUS = 0x0008, WM_ENABLE = 0x000A,
    WM_SETTEXT = 0x000C, WM_GETTEXT = 0x000D, WM_GETTEXTLENGTH = 0x000E, WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010, WM_QUIT = 0x0012, WM_ERASEBKGND = 0x0014, WM_SHOWWINDOW = 0x0018,
    WM_WININICHANGE = 0x001A, WM_ACTIVATEAPP = 0x001C, WM_CANCELMODE = 0x001F, WM_SETCURSOR = 0x0020, WM_MOUSEACTIVATE = 0x0021,
    WM_WINDOWPOSCHANGED = 0x0047, WM_KEYF1 = 0x004D, WM_HELP = 0x0053, WM_NCCREATE = 0x0081, WM_NCDESTROY = 0x0082,
    WM_NCCALCSIZE = 0x0083, WM_NCHITTEST = 0x0084, WM_NCPAINT = 0x0085, WM_NCACTIVATE = 0x0086,
    WM_GETDLGCODE = 0x0087, WM_NCMOUSEMOVE = 0x00A0, WM_NCLBUTTONDOWN = 0x00A1,
    WM_NCLBUTTONUP = 0x00A2, WM_NCLBUTTONDBLCLK = 0x00A3, WM_NCRBUTTONDOWN = 0x00A4,
    WM_NCRBUTTONUP = 0x00A5, WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101, WM_CHAR = 0x0102,
    WM_SYSKEYDOWN = 0x0104, WM_SYSKEYUP = 0x0105, WM_SYSCHAR = 0x0106, WM_COMMAND = 0x0111, WM_SYSCOMMAND = 0x0112, WM_TIMER = 0x0113,
    WM_HSCROLL = 0x0114, WM_VSCROLL = 0x0115, WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202, WM_LBUTTONDBLCLK = 0x0203, WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205, WM_RBUTTONDBLCLK = 0x0206, WM_MBUTTONDOWN = 0x0207,
    WM_MBUTTONUP = 0x0208, WM_MOUSEWHEEL = 0x020A, WM_CAPTURECHANGED = 0x0215,
    WM_MOUSELEAVE = 0x02A3, WM_CUT = 0x0300, WM_COPY = 0x0301, WM_PASTE = 0x0302, WM_CLEAR = 0x0303,
    WM_UNDO = 0x0304, WM_USER = 0x0400, WM_APP = 0x8000,
};
// clang-format on
enum : WPARAM { MK_LBUTTON = 1, MK_RBUTTON = 2, MK_SHIFT = 4, MK_CONTROL = 8, MK_MBUTTON = 0x10 };
enum : WPARAM { WA_INACTIVE = 0, WA_ACTIVE = 1, WA_CLICKACTIVE = 2 };
// Answers to WM_MOUSEACTIVATE.
enum : LRESULT { MA_ACTIVATE = 1, MA_ACTIVATEANDEAT = 2, MA_NOACTIVATE = 3, MA_NOACTIVATEANDEAT = 4 };
// Answers to WM_GETDLGCODE: the keys a control wants for itself.
// clang-format off
enum : LRESULT {
    DLGC_WANTARROWS = 0x1, DLGC_WANTTAB = 0x2, DLGC_WANTALLKEYS = 0x4, DLGC_HASSETSEL = 0x8,
    DLGC_DEFPUSHBUTTON = 0x10, DLGC_UNDEFPUSHBUTTON = 0x20, DLGC_WANTCHARS = 0x80, DLGC_STATIC = 0x100,
    DLGC_BUTTON = 0x2000,
};
// System commands (WM_SYSCOMMAND).
enum : WPARAM { SC_MOVE = 0xF010, SC_MINIMIZE = 0xF020, SC_MAXIMIZE = 0xF030, SC_CLOSE = 0xF060,
                SC_RESTORE = 0xF120, SC_CONTEXTHELP = 0xF180 };
// clang-format on
// clang-format off
enum HitTest : LRESULT {
    HTTRANSPARENT = -1, HTNOWHERE = 0, HTCLIENT = 1, HTCAPTION = 2, HTSYSMENU = 3, HTMINBUTTON = 8,
    HTMAXBUTTON = 9, HTLEFT = 10, HTRIGHT = 11, HTTOP = 12, HTTOPLEFT = 13, HTTOPRIGHT = 14, HTBOTTOM = 15,
    HTBOTTOMLEFT = 16, HTBOTTOMRIGHT = 17, HTBORDER = 18, HTCLOSE = 20, HTHELP = 21
};
// clang-format on

// WM_HELP's lParam: what help is asked for. F1 asks for the focused window
// (WM_KEYF1, whose default handling sends WM_HELP); the title bar's help
// button lets the user point at a window. The default handling of WM_HELP
// passes it to the parent, or from a top-level window to its owner.
enum : int { HELPINFO_WINDOW = 1, HELPINFO_MENUITEM = 2 };
struct HELPINFO {
    uint32_t cbSize = sizeof(HELPINFO);
    int iContextType = HELPINFO_WINDOW;
    int iCtrlId = 0;
    HWND hItemHandle = 0;
    uintptr_t dwContextId = 0;
    TPoint MousePos;  // screen
};

// The message record handlers receive: number, parameters and result.
struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

struct MSG {
    HWND hwnd = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    uint32_t time = 0;
    TPoint pt{};
};

// clang-format off
enum WindowStyle : uint32_t {
    WS_OVERLAPPED = 0, WS_POPUP = 0x80000000u, WS_CHILD = 0x40000000u, WS_VISIBLE = 0x10000000u,
    WS_DISABLED = 0x08000000u, WS_CLIPSIBLINGS = 0x04000000u, WS_CLIPCHILDREN = 0x02000000u,
    WS_CAPTION = 0x00C00000u, WS_BORDER = 0x00800000u, WS_DLGFRAME = 0x00400000u,
    WS_VSCROLL = 0x00200000u, WS_HSCROLL = 0x00100000u, WS_SYSMENU = 0x00080000u,
    WS_THICKFRAME = 0x00040000u, WS_MINIMIZEBOX = 0x00020000u, WS_MAXIMIZEBOX = 0x00010000u,
    WS_MAXIMIZE = 0x01000000u, WS_MINIMIZE = 0x20000000u,
    WS_TABSTOP = 0x00010000u,
};
// clang-format on
// clang-format off
enum WindowExStyle : uint32_t {
    WS_EX_DLGMODALFRAME = 0x1, WS_EX_TOPMOST = 0x8, WS_EX_TOOLWINDOW = 0x80,
    WS_EX_WINDOWEDGE = 0x100, WS_EX_CLIENTEDGE = 0x200, WS_EX_CONTEXTHELP = 0x400, WS_EX_NOACTIVATE = 0x08000000u,
};
// clang-format on
enum ClassStyle : uint32_t { CS_DBLCLKS = 0x8, CS_SAVEBITS = 0x800, CS_DROPSHADOW = 0x00020000u };
// clang-format off
enum ShowCommand : int { SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2, SW_MAXIMIZE = 3,
                         SW_SHOWNOACTIVATE = 4, SW_SHOW = 5, SW_MINIMIZE = 6, SW_SHOWNA = 8, SW_RESTORE = 9 };
// clang-format on
// clang-format off
enum SetWindowPosFlags : UINT {
    SWP_NOSIZE = 0x1, SWP_NOMOVE = 0x2, SWP_NOZORDER = 0x4, SWP_NOREDRAW = 0x8,
    SWP_NOACTIVATE = 0x10, SWP_FRAMECHANGED = 0x20, SWP_SHOWWINDOW = 0x40, SWP_HIDEWINDOW = 0x80,
};
// clang-format on
constexpr HWND HWND_TOP = 0, HWND_BOTTOM = 1, HWND_TOPMOST = HWND(-1), HWND_NOTOPMOST = HWND(-2);
// clang-format off
enum PeekFlags : UINT {
    PM_NOREMOVE = 0, PM_REMOVE = 1,
    // Which kinds of message to look at (none given: all).
    PM_QS_INPUT = 0x04070000u, PM_QS_POSTMESSAGE = 0x00980000u, PM_QS_PAINT = 0x00200000u,
    PM_QS_TIMER = 0x00100000u,
};
// clang-format on

// ---------------------------------------------------------------- procedures

struct ProcEntry;
// What a procedure calls to pass a message on to the procedure below it.
class NextProc {
public:
    NextProc() = default;
    explicit NextProc(std::shared_ptr<ProcEntry> below) : below_(std::move(below)) {}
    LRESULT operator()(HWND hwnd, UINT msg, WPARAM w, LPARAM l) const;

private:
    std::shared_ptr<ProcEntry> below_;
};
using WindowProc = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM, const NextProc& next)>;

// Window classes: the base procedure (its `next` is DefWindowProc), styles and
// the background colour used to erase.
struct WindowClass {
    std::string name;
    WindowProc proc;
    uint32_t style = 0;
    std::optional<TColor> background;
};
void RegisterWindowClass(WindowClass cls);  // replaces a class of the same name
bool IsWindowClassRegistered(const std::string& name);

// Puts `proc` on top of the window's procedure chain. The token removes it
// again from wherever it is in the chain, in any order; a procedure removed
// while it runs finishes its call. Returns 0 for a window that is gone.
using SubclassToken = uint64_t;
SubclassToken SubclassWindow(HWND hwnd, WindowProc proc);
bool RemoveSubclass(HWND hwnd, SubclassToken token);
bool IsSubclassedBy(HWND hwnd, SubclassToken token);
// The token of the procedure on top of the chain (0 for the class procedure).
SubclassToken TopSubclass(HWND hwnd);

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l);
// The procedure of a registered class, called on any window (a class library
// control built on a standard class passes its unhandled messages there).
LRESULT CallClassProc(const std::string& class_name, HWND hwnd, UINT msg, WPARAM w, LPARAM l);

// ---------------------------------------------------------------- windows

struct CreateParams {
    std::string class_name;
    std::string caption;
    uint32_t style = WS_POPUP;
    uint32_t ex_style = 0;
    TRect rect;          // window rectangle in the parent's client coordinates (screen for top level)
    HWND parent = 0;     // with WS_CHILD
    HWND owner = 0;      // top-level windows
    intptr_t param = 0;  // handed to WM_CREATE as lParam
    UINT id = 0;         // a child's identifier (GWLP_ID); 0: the child's handle, unique as handles are
    // The style of the class, for a class library control whose class is
    // registered with its first window.
    uint32_t class_style = CS_DBLCLKS;
};
// Sends WM_NCCREATE and WM_CREATE; returns 0 when the class is unknown or a
// handler refuses the creation (-1 from WM_CREATE).
HWND CreateWindow(const CreateParams& p);
// Sends WM_DESTROY to the window and then to its children, WM_NCDESTROY last.
bool DestroyWindow(HWND hwnd);
bool IsWindow(HWND hwnd);
bool IsWindowVisible(HWND hwnd);  // the window and all its parents
bool IsWindowEnabled(HWND hwnd);
bool EnableWindow(HWND hwnd, bool enable);
// SW_MAXIMIZE fills the screen with a top-level window (WS_MAXIMIZE); SW_RESTORE
// puts it back where it was. SW_MINIMIZE (and SW_SHOWMINIMIZED) makes it
// iconic (WS_MINIMIZE): still visible to the program, but off the screen,
// passed over by the pointer and the activation; SW_RESTORE then brings it
// back as it was before, maximised or not.
bool ShowWindow(HWND hwnd, int cmd);
bool IsZoomed(HWND hwnd);
bool IsIconic(HWND hwnd);
std::string GetClassName(HWND hwnd);
uint32_t GetClassStyle(HWND hwnd);
uint32_t GetWindowStyle(HWND hwnd);
uint32_t GetWindowExStyle(HWND hwnd);
void SetWindowStyle(HWND hwnd, uint32_t style, uint32_t ex_style);
std::string GetWindowText(HWND hwnd);
bool SetWindowText(HWND hwnd, const std::string& text);
HWND GetParent(HWND hwnd);
HWND GetOwner(HWND hwnd);
HWND GetAncestorRoot(HWND hwnd);  // the top-level window holding it
// Children, front to back.
std::vector<HWND> GetChildren(HWND hwnd);
// Top-level windows, front to back (topmost ones first).
std::vector<HWND> GetTopLevelWindows();
intptr_t GetWindowLongPtr(HWND hwnd, int index);
intptr_t SetWindowLongPtr(HWND hwnd, int index, intptr_t value);
constexpr int GWLP_USERDATA = -21, GWLP_ID = -12;
// A child's identifier, as notifications (WM_COMMAND) and owner drawing carry it.
int GetDlgCtrlID(HWND hwnd);
// The child of `parent` with identifier `id` (0 when there is none).
HWND GetDlgItem(HWND parent, int id);

TRect GetWindowRect(HWND hwnd);  // screen
TRect GetClientRect(HWND hwnd);  // (0, 0, width, height) of the client area
// The client area's offset inside the window rectangle (the frame and caption).
TRect GetNonClientInsets(HWND hwnd);
TPoint ClientToScreen(HWND hwnd, TPoint p);
TPoint ScreenToClient(HWND hwnd, TPoint p);
bool MoveWindow(HWND hwnd, int x, int y, int w, int h, bool repaint = true);
bool SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy, UINT flags);
bool BringWindowToTop(HWND hwnd);
HWND WindowFromPoint(TPoint screen);
HWND ChildWindowFromPoint(HWND parent, TPoint client);

// ---------------------------------------------------------------- painting

bool InvalidateRect(HWND hwnd, const TRect* rect, bool erase);
bool ValidateRect(HWND hwnd, const TRect* rect);
bool InvalidateRegion(HWND hwnd, const Region& client_region, bool erase);
Region GetUpdateRegion(HWND hwnd);
// Asks for the frame and caption to be painted again.
void InvalidateNonClient(HWND hwnd);

// WM_NCPAINT's wParam: kWholeFrame, or a `const Region*` in screen
// coordinates to which the frame's painting is limited. The default handling
// (DefWindowProc) paints the frame, the title bar with its icon, text and
// buttons, in the active look since WM_NCACTIVATE last said so; WM_NCACTIVATE
// paints the frame at once, WM_SETTEXT asks for a WM_NCPAINT.
constexpr WPARAM kWholeFrame = 1;
// The title bar of a window with a caption, in window coordinates: the bar
// (one pixel less high than the caption metric; the row below it belongs to
// the frame), the place of the small icon (empty without one) and the caption
// buttons from the right. Everything empty for a window without a caption.
struct CaptionButton {
    LRESULT hit = HTNOWHERE;  // HTCLOSE, HTMAXBUTTON, HTMINBUTTON or HTHELP
    TRect rect;
    bool enabled = true;
    bool pressed = false;  // held down by the pointer now
};
struct CaptionLayout {
    TRect bar, icon;
    std::vector<CaptionButton> buttons;
};
CaptionLayout GetCaptionLayout(HWND hwnd);
// The small icon of the title bar (mask white where transparent); none
// without an image.
void SetWindowIcon(HWND hwnd, SurfacePtr image, SurfacePtr mask);
bool UpdateWindow(HWND hwnd);
// Copies pixels of the client area within the window, as ScrollWindowEx.
bool ScrollWindow(HWND hwnd, int dx, int dy, const TRect* scroll, const TRect* clip);

struct PAINTSTRUCT {
    TRect rcPaint;
    bool fErase = false;
};
// A DC on the window's client area, clipped to its visible part and the
// update region; validates the window.
std::unique_ptr<DC> BeginPaint(HWND hwnd, PAINTSTRUCT& ps);
void EndPaint(HWND hwnd, std::unique_ptr<DC> dc);
// A DC on the client area (GetDC) or on the whole window (GetWindowDC).
// Releasing one marks what it could draw on as damage to present.
std::unique_ptr<DC> GetDC(HWND hwnd);
std::unique_ptr<DC> GetWindowDC(HWND hwnd);
void ReleaseDC(HWND hwnd, std::unique_ptr<DC> dc);
// The pixels of a top-level window (the window holding `hwnd`). Drawing into
// them directly is not presented.
SurfacePtr GetWindowSurface(HWND hwnd);
// A shown top-level window whose class asks for a drop shadow (CS_DROPSHADOW)
// casts one: a band of kDropShadowDepth pixels below and right of it, moved
// that far down and right, which darkens what lies beneath. The window system
// draws it on what it presents of the windows below (never into their
// pixels), so on the screen it shows over the program's own windows.
constexpr int kDropShadowDepth = 4;
// The band in screen coordinates; empty for a window that casts none.
Region GetDropShadowRegion(HWND hwnd);
// The screen as the window system shows it, for `area` (screen
// coordinates): the desktop's colour, then every visible top-level window
// back to front, each after the shadow it casts.
SurfacePtr CaptureScreen(const TRect& area);
// Shows on the display what was drawn through DCs since the last time: each
// top-level window once, only its damaged rectangles. The message loop calls
// it when every window that was due has painted; a window in the middle of
// its paint waits for the next time.
void PresentDamage();

// ---------------------------------------------------------------- messages

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM w = 0, LPARAM l = 0);
// Any thread. A message for a window that is gone by the time it is taken
// from the queue is dropped. False when kPostedQuota messages wait already.
constexpr size_t kPostedQuota = 10000;
bool PostMessage(HWND hwnd, UINT msg, WPARAM w = 0, LPARAM l = 0);
bool PostThreadMessage(UINT msg, WPARAM w = 0, LPARAM l = 0);
void PostQuitMessage(int exit_code);
// Posted messages first, then the quit message, then paint, then timers.
// Routines other threads wait on (TThread::Synchronize) run first, unless
// only paint or timer messages are asked for. Once no window waits for paint,
// the damage of the turn is presented (PresentDamage).
// `hwnd` 0 takes messages of any window and thread messages, HWND(-1) thread
// messages only; min and max 0 take every number.
bool PeekMessage(MSG& msg, HWND hwnd, UINT min, UINT max, UINT flags);
// Waits for a message: 1 for a message, 0 for WM_QUIT, -1 when nothing can
// ever arrive (see SetStallLimit).
int GetMessage(MSG& msg, HWND hwnd = 0, UINT min = 0, UINT max = 0);
// Waits until a message is there: false when nothing can arrive.
bool WaitMessage();
LRESULT DispatchMessage(const MSG& msg);
uint32_t GetMessageTime();

// ---------------------------------------------------------------- timers and the clock

class Clock {
public:
    virtual ~Clock() = default;
    virtual uint64_t Now() = 0;  // milliseconds
    // Lets `deadline` come while waiting for nothing else: a virtual clock
    // jumps there and returns true; the real clock returns false.
    virtual bool Skip(uint64_t deadline) = 0;
    // One turn of a busy wait that polls the clock.
    virtual void Spin() {}
};
class SteadyClock final : public Clock {
public:
    uint64_t Now() override;
    bool Skip(uint64_t) override { return false; }
    void Spin() override;  // yields the processor
};
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(bool advance_when_idle = true) : auto_(advance_when_idle) {}
    uint64_t Now() override { return now_; }
    bool Skip(uint64_t deadline) override;
    // Moves on by a millisecond, so a loop waiting for the time to pass ends.
    void Spin() override { ++now_; }
    void Advance(uint64_t ms) { now_ += ms; }
    void SetAutoAdvance(bool on) { auto_ = on; }

private:
    uint64_t now_ = 1000;
    bool auto_;
};
// The clock in use; the caller keeps ownership (nullptr: the steady clock).
Clock* InstallClock(Clock* clock);
uint64_t NowMs();
// The system tick count: the clock's milliseconds, wrapping at 32 bits.
uint32_t GetTickCount();
// A turn of a busy wait on the tick count (Clock::Spin of the clock in use).
void SpinClock();

using TimerProc = std::function<void(HWND, UINT id)>;
// Returns the timer's id (a new one when hwnd is 0), 0 on failure.
UINT SetTimer(HWND hwnd, UINT id, UINT interval_ms, TimerProc proc = nullptr);
bool KillTimer(HWND hwnd, UINT id);

// How long, in real milliseconds, a wait without a timer, a display or a
// message goes on before it counts as stuck (0: at once).
void SetStallLimit(int ms);

// ---------------------------------------------------------------- focus, activation, capture, caret

HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
HWND GetForegroundWindow();
bool SetForegroundWindow(HWND hwnd);
HWND SetCapture(HWND hwnd);
HWND GetCapture();
bool ReleaseCapture();

bool CreateCaret(HWND hwnd, int width, int height);
bool DestroyCaret();
bool SetCaretPos(int x, int y);
TPoint GetCaretPos();
bool ShowCaret(HWND hwnd);
bool HideCaret(HWND hwnd);
// The caret is drawn by inverting its rectangle in the window, and blinks
// (GetCaretBlinkTime) while it is shown; painting its window hides it for
// the paint.
struct CaretState {
    HWND hwnd = 0;
    TRect rect;  // client coordinates
    int hide_count = 1;
    bool drawn = false;  // inverted on the window now
};
constexpr UINT kCaretBlinkMs = 530;
CaretState GetCaretState();

// ---------------------------------------------------------------- input

enum class MouseAction { Move, Down, Up, DoubleClick, Wheel };
enum class MouseButton { Left, Right, Middle };
// Input enters the queue as it happened and becomes messages when it is taken
// out: mouse input for the capture or the window at the point (the wheel for
// the focus), keys and characters for the focus. Modifiers (kShift, kControl,
// kAlt) set the states of those keys; a press asks WM_MOUSEACTIVATE before it
// activates; Alt with a letter or digit brings WM_SYSCHAR after the key.
void InjectMouse(MouseAction action, MouseButton button, TPoint screen, unsigned modifiers = 0, int wheel = 0);
// The pointer left the program's windows: the window it was over gets WM_MOUSELEAVE.
void InjectMouseLeave();
void InjectKey(UINT vk, bool down, unsigned modifiers = 0);
void InjectChar(char ansi);
// Negative while the key is held, as the input taken so far left it.
short GetKeyState(int vk);
TPoint GetCursorPos();  // where the last mouse input was
// The cursor shown (0: none yet); with a display, on the screen too.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// A drag the window system runs itself (a scroll bar, a caption) is on.
bool SystemDragActive();
// clang-format off
enum VirtualKey : UINT {
    VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11, VK_MENU = 0x12,
    VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24,
    VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_INSERT = 0x2D, VK_DELETE = 0x2E,
    VK_ADD = 0x6B, VK_SUBTRACT = 0x6D, VK_F1 = 0x70, VK_F2 = 0x71, VK_F4 = 0x73, VK_F10 = 0x79,
};
// clang-format on
enum : unsigned { kShift = MK_SHIFT, kControl = MK_CONTROL, kAlt = 0x20 };

// ---------------------------------------------------------------- the display

// A real screen: shows top-level windows and feeds input back as messages.
class Display {
public:
    virtual ~Display() = default;
    // Shown at `screen_rect`, also when it was shown before somewhere else.
    virtual void WindowShown(HWND hwnd, const TRect& screen_rect, bool topmost) = 0;
    virtual void WindowHidden(HWND hwnd) = 0;
    // Moved or sized, shown or hidden: from its first showing to its destruction.
    virtual void WindowMoved(HWND hwnd, const TRect& screen_rect) = 0;
    virtual void WindowDestroyed(HWND hwnd) = 0;
    // Shows the `damaged` rectangles of the window's pixels (window coordinates).
    virtual void Present(HWND hwnd, const Surface& pixels, const Region& damaged) = 0;
    // Waits up to `timeout_ms` (-1: no limit) for input or a Wake and turns
    // the input into messages; false when the display is gone.
    virtual bool Wait(int timeout_ms) = 0;
    // Any thread, under the queue's lock: it must not call back into the window system.
    virtual void Wake() = 0;
    virtual TSize ScreenSize() = 0;
    // The window became the active one: it takes the keyboard on the screen.
    virtual void WindowActivated(HWND hwnd) { (void)hwnd; }
    // The order of the top-level windows changed (front first, hidden ones
    // included): the screen stacks the ones it shows the same way.
    virtual void WindowsRestacked(const std::vector<HWND>& front_to_back) { (void)front_to_back; }
    // The window was minimised (made iconic) or restored from it.
    virtual void WindowMinimized(HWND hwnd, bool minimized) {
        (void)hwnd;
        (void)minimized;
    }
    // Shows `cursor` (its picture: `image`, nullptr for none) over the program's windows.
    virtual void ShowCursor(HCURSOR cursor, const CursorResource* image) {
        (void)cursor;
        (void)image;
    }
    // The desktop's clipboard; a display without one keeps false and nullopt,
    // and the program keeps its own.
    virtual bool SetClipboardText(const std::string& ansi) {
        (void)ansi;
        return false;
    }
    virtual std::optional<std::string> ClipboardText() { return std::nullopt; }
};
// The caller keeps ownership; nullptr goes back to headless drawing.
Display* InstallDisplay(Display* display);
Display* CurrentDisplay();

// ---------------------------------------------------------------- the state's life

// The window system keeps its state in one owner. UiStart creates it (the
// first use does when nobody did); UiShutdown drops it, windows and all, and
// runs at exit. UiReset is the start afresh tests use: no windows, messages,
// timers, focus or capture, no display, the steady clock, default colours and
// metrics, the text cache's budget, the screen and application as new, no
// help event or engine, accelerator table or rich-edit library, and every
// library's part afresh (state_part.hpp). Window classes, resources, the
// screen's cursor table, realised fonts and cached texts stay; handles are
// never reused.
// Nothing is sent to the windows that go.
void UiStart();
void UiShutdown();
void UiReset();
size_t WindowCount();

}  // namespace ui
