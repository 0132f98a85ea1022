// A form's main menu: the menu messages the form hands it, and the keys that
// are shortcuts of a control's popup menus or of its form's main menu.
#include "framework/ui/forms.hpp"
#include "framework/ui/menus.hpp"

namespace ui {

bool FormMenuMessage(TCustomForm* form, TMessage& m) {
    TMainMenu* menu = form->Menu();
    switch (m.Msg) {
    case WM_COMMAND:
        // A menu's command comes without a control.
        if (menu && m.LParam == 0 && HIWORD(m.WParam) == 0 && menu->DispatchCommand(UINT(LOWORD(m.WParam)))) {
            m.Result = 0;
            return true;
        }
        return false;
    case WM_INITMENUPOPUP:
        if (menu) menu->DispatchPopup(HMENU(m.WParam));
        return false;
    case WM_MENUSELECT:
        if (!menu) return false;
        if (!menu->MenuSelect(m.WParam, m.LParam)) Application().SetHint("");
        return true;
    case WM_MENUCHAR:
        if (menu)
            if (const LRESULT r = menu->ProcessMenuChar(char(LOWORD(m.WParam)), HMENU(m.LParam))) {
                m.Result = r;
                return true;
            }
        return false;
    case CM_MENUCHANGED:
        if (menu && form->HandleAllocated()) DrawMenuBar(form->WindowHandle());
        return true;
    default: return false;
    }
}

bool IsMenuKey(TControl* control, UINT key, TShiftState shift) {
    for (TControl* c = control; c; c = c->Parent())
        if (TPopupMenu* p = c->PopupMenu(); p && p->IsShortCut(key, shift)) return true;
    if (TCustomForm* form = GetParentForm(control); form && form->Menu() && form->Menu()->IsShortCut(key, shift))
        return true;
    return false;
}

}  // namespace ui
