// Compiled, never linked, by the component_end tests: outside the components
// only Free and Owned<T> end one; a delete or a std::unique_ptr does not compile.
#include <memory>

#include "framework/ui/classes.hpp"

struct Leaf : ui::TComponent {
    using ui::TComponent::TComponent;
};

void End(Leaf* leaf) {
#if defined(END_BY_FREE)
    ui::Free(leaf);
    ui::Owned<Leaf> owned(new Leaf(nullptr));
#elif defined(END_BY_DELETE)
    delete leaf;
#elif defined(END_BY_UNIQUE_PTR)
    std::unique_ptr<Leaf> owned(leaf);
#endif
}
