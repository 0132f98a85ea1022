#pragma once
// The class library's base: persistent objects, components with owners and
// notifications, string lists and collections with update locking.
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <variant>
#include <vector>

#include "framework/ui/types.hpp"

namespace ui {

class TObject {
public:
    virtual ~TObject() = default;
    virtual std::string ClassName() const { return "TObject"; }
};

// Events: the first argument is the sender.
using TNotifyEvent = std::function<void(TObject* sender)>;

// Values of the properties a component writes beside its published ones.
using PropertyValue = std::variant<bool, int64_t, std::string, std::vector<std::string>>;

class TPersistent;
class TFiler {
public:
    virtual ~TFiler() = default;
    using ReadProc = std::function<void(const PropertyValue&)>;
    using WriteProc = std::function<PropertyValue()>;
    virtual void DefineProperty(const std::string& name, ReadProc read, WriteProc write, bool has_data) = 0;
    // The instance of the inherited layout, when the layout inherits one.
    TPersistent* ancestor = nullptr;
};

// Collects what a component writes.
class TPropertyWriter final : public TFiler {
public:
    void DefineProperty(const std::string& name, ReadProc, WriteProc write, bool has_data) override {
        if (has_data && write) values[name] = write();
    }
    std::map<std::string, PropertyValue> values;
};

// Hands stored values back to a component.
class TPropertyReader final : public TFiler {
public:
    explicit TPropertyReader(std::map<std::string, PropertyValue> v) : values(std::move(v)) {}
    void DefineProperty(const std::string& name, ReadProc read, WriteProc, bool) override {
        auto it = values.find(name);
        if (it != values.end() && read) read(it->second);
    }
    std::map<std::string, PropertyValue> values;
};

class TPersistent : public TObject {
public:
    std::string ClassName() const override { return "TPersistent"; }
    // Copies from `source` (through source->AssignTo when this class does not know it).
    virtual void Assign(TPersistent* source);
    virtual void DefineProperties(TFiler&) {}

protected:
    virtual void AssignTo(TPersistent* dest);
    friend class TPersistentAccess;
    [[noreturn]] void AssignError(TPersistent* source);
};

// clang-format off
enum ComponentState : unsigned {
    csLoading = 0x1, csReading = 0x2, csWriting = 0x4, csDestroying = 0x8, csDesigning = 0x10,
    csAncestor = 0x20, csUpdating = 0x40, csFreeNotification = 0x100,
};
// clang-format on
enum class TOperation { opInsert, opRemove };

class TComponent;

// The untyped part of ComponentRef: one link of the list of references its
// component empties when it ends.
class ComponentTracker {
public:
    TComponent* component() const { return component_; }

protected:
    ComponentTracker() = default;
    ~ComponentTracker() { Drop(); }
    ComponentTracker(const ComponentTracker&) = delete;
    ComponentTracker& operator=(const ComponentTracker&) = delete;
    // `object` is `c` as the typed reference holds it.
    void Track(TComponent* c, void* object) noexcept;
    void Drop() noexcept;
    void* object_ = nullptr;

private:
    friend class TComponent;
    TComponent* component_ = nullptr;
    ComponentTracker* prev_ = nullptr;
    ComponentTracker* next_ = nullptr;
};

class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;
    std::string ClassName() const override { return "TComponent"; }

    TComponent* Owner() const { return owner_; }
    const std::vector<TComponent*>& Components() const { return components_; }
    int ComponentCount() const { return int(components_.size()); }
    unsigned State() const { return state_; }
    bool Has(unsigned flags) const { return (state_ & flags) != 0; }
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    intptr_t Tag = 0;

    void InsertComponent(TComponent* c);
    void RemoveComponent(TComponent* c);
    // `c` is told (Notification opRemove) when this component goes, and the other way round.
    void FreeNotification(TComponent* c);
    void RemoveFreeNotification(TComponent* c);
    void DestroyComponents();
    // Marks this component and those it owns as being destroyed.
    void Destroying();

    // Loading from a layout: the flags are set for this component and those it
    // owns; EndLoading clears them and calls Loaded on each.
    void BeginLoading();
    void EndLoading();
    void SetDesigning(bool on);

    // Runs before the destructors: empties the references to this component,
    // tells the free-notified components, frees the owned components and
    // leaves the owner. Free, the owner and a delete call it.
    virtual void BeforeDestruction();
    virtual void Notification(TComponent* component, TOperation op);

    // The pair a new-expression uses; the delete only when a constructor throws.
    static void* operator new(std::size_t size) { return ::operator new(size); }
    static void operator delete(void* p) noexcept { ::operator delete(p); }

protected:
    virtual void Loaded();
    unsigned state_ = 0;

    // A delete of a component ends it as Free does. Outside the components
    // themselves it does not compile: Free and Owned<T> are the ways to end one.
    static void operator delete(TComponent* c, std::destroying_delete_t) noexcept;

private:
    friend void Free(TComponent* c);
    friend class ComponentTracker;
    void EmptyReferences() noexcept;

    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> free_notifies_;
    std::string name_;
    ComponentTracker* trackers_ = nullptr;
    bool before_done_ = false;
    bool freed_ = false;  // ended by Free or delete
};

// Frees a component the way the class library does: BeforeDestruction, then delete.
void Free(TComponent* c);

// A pointer to a component that empties itself when the component ends
// (freed by Free, its owner or its owning pointer). It costs the component a
// link in a list only while it is held; copies and moves track on their own.
template <class T>
class ComponentRef final : private ComponentTracker {
public:
    ComponentRef() = default;
    ComponentRef(std::nullptr_t) {}
    ComponentRef(T* c) { Track(c, c); }
    ComponentRef(const ComponentRef& other) : ComponentTracker() { Copy(other); }
    ComponentRef(ComponentRef&& other) noexcept : ComponentTracker() {
        Copy(other);
        other.Drop();
    }
    ComponentRef& operator=(const ComponentRef& other) {
        if (this != &other) Copy(other);
        return *this;
    }
    ComponentRef& operator=(ComponentRef&& other) noexcept {
        if (this != &other) {
            Copy(other);
            other.Drop();
        }
        return *this;
    }
    ComponentRef& operator=(T* c) {
        Track(c, c);
        return *this;
    }
    ComponentRef& operator=(std::nullptr_t) {
        Drop();
        return *this;
    }

    T* get() const { return static_cast<T*>(object_); }
    operator T*() const { return get(); }
    T* operator->() const { return get(); }

private:
    void Copy(const ComponentRef& other) { Track(other.component(), other.object_); }
};

struct ComponentDeleter {
    void operator()(TComponent* c) const { Free(c); }
};
template <class T>
using Owned = std::unique_ptr<T, ComponentDeleter>;
template <class T, class... A>
Owned<T> Make(A&&... args) {
    return Owned<T>(new T(std::forward<A>(args)...));
}

// ---------------------------------------------------------------- string lists

class TStrings : public TPersistent {
public:
    std::string ClassName() const override { return "TStrings"; }
    virtual int Count() const = 0;
    virtual std::string Get(int index) const = 0;
    virtual TObject* GetObject(int index) const = 0;
    virtual void Put(int index, const std::string& s) = 0;
    virtual void PutObject(int index, TObject* o) = 0;
    virtual void Insert(int index, const std::string& s, TObject* o = nullptr) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;

    int Add(const std::string& s, TObject* o = nullptr) {
        Insert(Count(), s, o);
        return Count() - 1;
    }
    int IndexOf(const std::string& s) const;  // case-insensitive, as the framework's
    std::string Text() const;                 // lines ended by CR LF
    void SetText(const std::string& text);
    void Assign(TPersistent* source) override;
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return update_count_; }

protected:
    virtual void SetUpdateState(bool) {}
    int update_count_ = 0;
};

class TStringList : public TStrings {
public:
    std::string ClassName() const override { return "TStringList"; }
    int Count() const override { return int(items_.size()); }
    std::string Get(int index) const override;
    TObject* GetObject(int index) const override;
    void Put(int index, const std::string& s) override;
    void PutObject(int index, TObject* o) override;
    void Insert(int index, const std::string& s, TObject* o = nullptr) override;
    void Delete(int index) override;
    void Clear() override;

    TNotifyEvent OnChange, OnChanging;

protected:
    void SetUpdateState(bool updating) override;
    void Changing();
    void Changed();

private:
    void Check(int index, int limit) const;
    std::vector<std::pair<std::string, TObject*>> items_;
};

// ---------------------------------------------------------------- collections

class TCollection;

class TCollectionItem : public TPersistent {
public:
    explicit TCollectionItem(TCollection* collection) : collection_(collection) {}
    std::string ClassName() const override { return "TCollectionItem"; }
    TCollection* Collection() const { return collection_; }
    int Index() const;
    virtual void SetIndex(int index);
    int ID() const { return id_; }

protected:
    // Tells the collection that this item (or, with all_items, every item) changed.
    void Changed(bool all_items);

private:
    friend class TCollection;
    TCollection* collection_;
    int id_ = 0;
};

class TCollection : public TPersistent {
public:
    using ItemFactory = std::function<std::unique_ptr<TCollectionItem>(TCollection*)>;
    explicit TCollection(ItemFactory factory) : factory_(std::move(factory)) {}
    ~TCollection() override;
    std::string ClassName() const override { return "TCollection"; }

    TCollectionItem* Add();
    TCollectionItem* Insert(int index);
    // Puts an item made by the caller at the end.
    TCollectionItem* AddItem(std::unique_ptr<TCollectionItem> item);
    void Delete(int index);
    void Remove(TCollectionItem* item);
    void Clear();
    int Count() const { return int(items_.size()); }
    TCollectionItem* Items(int index) const;  // EListError out of range
    int IndexOf(const TCollectionItem* item) const;
    void Move(int from, int to);
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return update_count_; }
    void Assign(TPersistent* source) override;

protected:
    // After a change, outside update locks: the changed item, or nullptr for all.
    virtual void Update(TCollectionItem*) {}
    void Changed();

private:
    friend class TCollectionItem;
    ItemFactory factory_;
    std::vector<std::unique_ptr<TCollectionItem>> items_;
    int update_count_ = 0;
    int next_id_ = 0;
};

}  // namespace ui
