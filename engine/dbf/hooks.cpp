#include "engine/dbf/hooks.hpp"

#include "engine/dbf/errors.hpp"

namespace zurod {

ExpressionHook& ExpressionAttachment() {
    static ExpressionHook hook;
    return hook;
}

IndexHook& IndexAttachment() {
    static IndexHook hook;
    return hook;
}

VirtualFileHook& VirtualFileAttachment() {
    static VirtualFileHook hook;
    return hook;
}

MemoAttachment& MemoUnit() {
    static MemoAttachment unit;
    return unit;
}

void CallVirtualFileHook(TWorkArea& area) {
    VirtualFileHook& hook = VirtualFileAttachment();
    if (!hook.Linked()) {
        RunError(1101, "Virtual File Manager Unit not Linked in [" + area.alias + "]");
        return;
    }
    hook.dispatch(area);
}

}  // namespace zurod
