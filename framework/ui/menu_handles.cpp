// Menu handles and their items: creating, changing and asking about them.
#include <algorithm>

#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/detail/menu_state.hpp"
#include "framework/ui/menu_handles.hpp"

namespace ui {

using namespace detail;

namespace detail {

MenuStore& Menus() {
    auto& store = Desk().menus;
    if (!store) store = std::make_shared<MenuStore>();
    return *store;
}

MenuRec* FindMenu(HMENU h) {
    if (h == 0) return nullptr;
    auto& menus = Menus().menus;
    auto it = menus.find(h);
    return it == menus.end() ? nullptr : it->second.get();
}

MenuItemRec* FindItem(HMENU h, UINT item, bool by_position, MenuRec** owner, int* index) {
    MenuRec* m = FindMenu(h);
    if (!m) return nullptr;
    if (by_position) {
        if (item >= m->items.size()) return nullptr;
        if (owner) *owner = m;
        if (index) *index = int(item);
        return &m->items[item];
    }
    // By command: this menu's items first, then the drop-downs, depth first.
    for (size_t i = 0; i < m->items.size(); ++i)
        if ((m->items[i].id == item && !(item == 0 && (m->items[i].type & MFT_SEPARATOR))) ||
            (item != 0 && m->items[i].sub == item)) {
            if (owner) *owner = m;
            if (index) *index = int(i);
            return &m->items[i];
        }
    for (MenuItemRec& it : m->items)
        if (it.sub && it.sub != h)
            if (MenuItemRec* found = FindItem(it.sub, item, false, owner, index)) return found;
    return nullptr;
}

void MenuChanged(MenuRec& m) {
    m.laid_out = false;
    if (m.window) InvalidateRect(m.window, nullptr, true);
}

}  // namespace detail

namespace {

HMENU NewMenu(bool popup) {
    auto rec = std::make_unique<MenuRec>();
    const HMENU h = Ui().next_handle++;  // one counter with windows: a handle is never reused
    rec->handle = h;
    rec->popup = popup;
    Menus().menus.emplace(h, std::move(rec));
    return h;
}

// An item as AppendMenu's flags describe it.
MenuItemRec ItemFromFlags(UINT flags, uintptr_t id_or_popup, const std::string& text, uintptr_t data) {
    MenuItemRec it;
    it.type = flags &
        (MFT_BITMAP | MFT_MENUBARBREAK | MFT_MENUBREAK | MFT_OWNERDRAW | MFT_RADIOCHECK | MFT_SEPARATOR |
         MFT_RIGHTJUSTIFY);
    it.state = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_HILITE | MF_DEFAULT);
    if (flags & MF_POPUP)
        it.sub = HMENU(id_or_popup);
    else
        it.id = UINT(id_or_popup);
    if (flags & MF_OWNERDRAW)
        it.data = data;
    else if (!(flags & MF_SEPARATOR))
        it.text = text;
    return it;
}

void Changed(MenuRec* m) {
    if (m) MenuChanged(*m);
}

}  // namespace

HMENU CreateMenu() { return NewMenu(false); }
HMENU CreatePopupMenu() { return NewMenu(true); }

bool DestroyMenu(HMENU h) {
    MenuRec* m = FindMenu(h);
    if (!m) return false;
    DestroyMenuWindow(*m);
    std::vector<HMENU> subs;
    for (const MenuItemRec& it : m->items)
        if (it.sub) subs.push_back(it.sub);
    for (auto& [hwnd, w] : Desk().windows)
        if (w->menu == h) w->menu = 0;
    Menus().menus.erase(h);
    for (HMENU s : subs) DestroyMenu(s);
    return true;
}

bool IsMenu(HMENU h) { return FindMenu(h) != nullptr; }

bool AppendMenu(HMENU h, UINT flags, uintptr_t id_or_popup, const std::string& text, uintptr_t data) {
    MenuRec* m = FindMenu(h);
    if (!m) return false;
    m->items.push_back(ItemFromFlags(flags, id_or_popup, text, data));
    MenuChanged(*m);
    return true;
}

bool InsertMenu(HMENU h, UINT position, UINT flags, uintptr_t id_or_popup, const std::string& text, uintptr_t data) {
    MenuRec* owner = nullptr;
    int index = 0;
    if (!FindItem(h, position, flags & MF_BYPOSITION, &owner, &index)) {
        // Past the end (or no such command): the item goes last.
        return AppendMenu(h, flags, id_or_popup, text, data);
    }
    owner->items.insert(owner->items.begin() + index, ItemFromFlags(flags, id_or_popup, text, data));
    MenuChanged(*owner);
    return true;
}

bool ModifyMenu(HMENU h, UINT position, UINT flags, uintptr_t id_or_popup, const std::string& text, uintptr_t data) {
    MenuRec* owner = nullptr;
    MenuItemRec* it = FindItem(h, position, flags & MF_BYPOSITION, &owner);
    if (!it) return false;
    MenuItemRec fresh = ItemFromFlags(flags, id_or_popup, text, data);
    if (!(flags & MF_POPUP)) fresh.sub = it->sub;  // the drop-down stays
    fresh.bitmap = it->bitmap, fresh.mask = it->mask;
    fresh.state |= it->state & MFS_HILITE;
    // The place stays until the menu is laid out again (an open drop-down's owner may convert its items).
    fresh.rect = it->rect, fresh.shortcut_x = it->shortcut_x;
    *it = std::move(fresh);
    MenuChanged(*owner);
    return true;
}

bool RemoveMenu(HMENU h, UINT position, UINT flags) {
    MenuRec* owner = nullptr;
    int index = 0;
    if (!FindItem(h, position, flags & MF_BYPOSITION, &owner, &index)) return false;
    owner->items.erase(owner->items.begin() + index);
    MenuChanged(*owner);
    return true;
}

bool DeleteMenu(HMENU h, UINT position, UINT flags) {
    MenuRec* owner = nullptr;
    MenuItemRec* it = FindItem(h, position, flags & MF_BYPOSITION, &owner);
    if (!it) return false;
    const HMENU sub = it->sub;
    RemoveMenu(h, position, flags);
    if (sub) DestroyMenu(sub);
    return true;
}

bool InsertMenuItem(HMENU h, UINT item, bool by_position, const MENUITEMINFO& info) {
    MenuRec* m = FindMenu(h);
    if (!m) return false;
    MenuRec* owner = m;
    int index = int(m->items.size());
    if (!FindItem(h, item, by_position, &owner, &index)) owner = m, index = int(m->items.size());
    owner->items.insert(owner->items.begin() + index, MenuItemRec{});
    MenuChanged(*owner);
    return SetMenuItemInfo(owner->handle, UINT(index), true, info);
}

bool SetMenuItemInfo(HMENU h, UINT item, bool by_position, const MENUITEMINFO& info) {
    MenuRec* owner = nullptr;
    MenuItemRec* it = FindItem(h, item, by_position, &owner);
    if (!it) return false;
    if (info.fMask & (MIIM_TYPE | MIIM_FTYPE)) it->type = info.fType;
    if (info.fMask & MIIM_STATE) it->state = info.fState;
    if (info.fMask & MIIM_ID) it->id = info.wID;
    if (info.fMask & MIIM_SUBMENU) it->sub = info.hSubMenu;
    if (info.fMask & MIIM_DATA) it->data = info.dwItemData;
    if ((info.fMask & MIIM_STRING) || ((info.fMask & MIIM_TYPE) && !(info.fType & (MFT_OWNERDRAW | MFT_SEPARATOR))))
        it->text = info.dwTypeData;
    if (info.fMask & MIIM_TYPE && (info.fType & (MFT_OWNERDRAW | MFT_SEPARATOR))) it->text.clear();
    if (info.fMask & MIIM_BITMAP) it->bitmap = info.hbmpItem, it->mask = info.hbmpMask;
    MenuChanged(*owner);
    return true;
}

bool GetMenuItemInfo(HMENU h, UINT item, bool by_position, MENUITEMINFO& info) {
    const MenuItemRec* it = FindItem(h, item, by_position);
    if (!it) return false;
    const UINT mask = info.fMask;
    if (mask & (MIIM_TYPE | MIIM_FTYPE)) info.fType = it->type;
    if (mask & MIIM_STATE) info.fState = it->state;
    if (mask & MIIM_ID) info.wID = it->id;
    if (mask & MIIM_SUBMENU) info.hSubMenu = it->sub;
    if (mask & MIIM_DATA) info.dwItemData = it->data;
    if (mask & (MIIM_STRING | MIIM_TYPE)) info.dwTypeData = it->text;
    if (mask & MIIM_BITMAP) info.hbmpItem = it->bitmap, info.hbmpMask = it->mask;
    return true;
}

int GetMenuItemCount(HMENU h) {
    const MenuRec* m = FindMenu(h);
    return m ? int(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU h, int position) {
    const MenuRec* m = FindMenu(h);
    if (!m || position < 0 || size_t(position) >= m->items.size()) return UINT(-1);
    const MenuItemRec& it = m->items[size_t(position)];
    return it.sub ? UINT(-1) : it.id;
}

HMENU GetSubMenu(HMENU h, int position) {
    const MenuRec* m = FindMenu(h);
    if (!m || position < 0 || size_t(position) >= m->items.size()) return 0;
    return m->items[size_t(position)].sub;
}

UINT GetMenuState(HMENU h, UINT item, UINT flags) {
    const MenuItemRec* it = FindItem(h, item, flags & MF_BYPOSITION);
    if (!it) return UINT(-1);
    UINT result = it->state | (it->type & ~MFT_RADIOCHECK);
    if (it->sub) result = (result & 0xFF) | MF_POPUP | UINT(std::min(GetMenuItemCount(it->sub), 255)) << 8;
    return result;
}

std::string GetMenuString(HMENU h, UINT item, UINT flags) {
    const MenuItemRec* it = FindItem(h, item, flags & MF_BYPOSITION);
    return it ? it->text : std::string();
}

UINT CheckMenuItem(HMENU h, UINT item, UINT flags) {
    MenuRec* owner = nullptr;
    MenuItemRec* it = FindItem(h, item, flags & MF_BYPOSITION, &owner);
    if (!it) return UINT(-1);
    const UINT was = it->state & MF_CHECKED;
    it->state = (it->state & ~MF_CHECKED) | (flags & MF_CHECKED);
    Changed(owner);
    return was;
}

UINT EnableMenuItem(HMENU h, UINT item, UINT flags) {
    MenuRec* owner = nullptr;
    MenuItemRec* it = FindItem(h, item, flags & MF_BYPOSITION, &owner);
    if (!it) return UINT(-1);
    const UINT was = it->state & (MF_GRAYED | MF_DISABLED);
    it->state = (it->state & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    Changed(owner);
    return was;
}

bool CheckMenuRadioItem(HMENU h, UINT first, UINT last, UINT check, UINT flags) {
    MenuRec* m = FindMenu(h);
    if (!m) return false;
    const bool by_pos = flags & MF_BYPOSITION;
    bool found = false;
    if (by_pos) {
        for (UINT i = first; i <= last && i < m->items.size(); ++i) {
            MenuItemRec& it = m->items[i];
            it.state &= ~MFS_CHECKED;
            if (i == check) it.state |= MFS_CHECKED, it.type |= MFT_RADIOCHECK, found = true;
        }
    } else {
        for (UINT id = first; id <= last; ++id) {
            MenuRec* owner = nullptr;
            MenuItemRec* it = FindItem(h, id, false, &owner);
            if (!it) continue;
            it->state &= ~MFS_CHECKED;
            if (id == check) it->state |= MFS_CHECKED, it->type |= MFT_RADIOCHECK, found = true;
            Changed(owner);
        }
    }
    MenuChanged(*m);
    return found;
}

bool SetMenuDefaultItem(HMENU h, UINT item, bool by_position) {
    MenuRec* m = FindMenu(h);
    if (!m) return false;
    MenuItemRec* target = item == UINT(-1) ? nullptr : FindItem(h, item, by_position);
    if (item != UINT(-1) && !target) return false;
    for (MenuItemRec& it : m->items) it.state &= ~MFS_DEFAULT;
    if (target) target->state |= MFS_DEFAULT;
    MenuChanged(*m);
    return true;
}

UINT GetMenuDefaultItem(HMENU h, bool by_position) {
    const MenuRec* m = FindMenu(h);
    if (!m) return UINT(-1);
    for (size_t i = 0; i < m->items.size(); ++i)
        if (m->items[i].state & MFS_DEFAULT) return by_position ? UINT(i) : m->items[i].id;
    return UINT(-1);
}

bool GetMenuItemRect(HWND hwnd, HMENU h, UINT position, TRect& screen) {
    MenuRec* m = FindMenu(h);
    if (!m || position >= m->items.size()) return false;
    const TRect& r = m->items[position].rect;
    if (m->window && IsWindow(m->window)) {
        const TPoint o = ClientToScreen(m->window, {0, 0});
        screen = r.Offset(o.x, o.y);
        return true;
    }
    const HWND bar = m->bar_owner ? m->bar_owner : hwnd;
    if (bar && GetMenu(bar) == h) {
        const TRect wr = GetWindowRect(bar);
        screen = r.Offset(wr.left, wr.top);
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- message filters

HHOOK SetMessageFilterHook(MessageFilterProc proc) {
    if (!proc) return 0;
    MenuStore& s = Menus();
    const HHOOK id = s.next_filter++;
    s.filters.push_back({id, std::move(proc)});
    return id;
}

bool UnhookMessageFilter(HHOOK hook) {
    auto& f = Menus().filters;
    auto it = std::find_if(f.begin(), f.end(), [hook](const MessageFilter& x) { return x.id == hook; });
    if (it == f.end()) return false;
    f.erase(it);
    return true;
}

bool CallMessageFilter(MSG& msg, int code) {
    // A copy: a filter may unhook itself or others while it runs.
    const std::vector<MessageFilter> filters = Menus().filters;
    for (auto it = filters.rbegin(); it != filters.rend(); ++it)
        if (it->proc(code, msg)) return true;
    return false;
}

}  // namespace ui
