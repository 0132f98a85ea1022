#include "framework/ui/classes.hpp"

#include <strings.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace ui {

// ---------------------------------------------------------------- persistent

void TPersistent::Assign(TPersistent* source) {
    if (source) {
        source->AssignTo(this);
        return;
    }
    AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* dest) { dest->AssignError(this); }

void TPersistent::AssignError(TPersistent* source) {
    throw EConvertError("Cannot assign a " + (source ? source->ClassName() : std::string("nil")) + " to a " +
                        ClassName());
}

// ---------------------------------------------------------------- components

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
#ifndef NDEBUG
    // Ended without Free (on the stack, as a member, by a shared pointer): the
    // class's own BeforeDestruction may not have run. A constructor that throws
    // unwinds through here too, and that is no fault.
    if (!freed_ && std::uncaught_exceptions() == 0) {
        std::fprintf(stderr, "A component (%s) was ended without Free\n", name_.empty() ? "unnamed" : name_.c_str());
        std::abort();
    }
#endif
    if (!before_done_) TComponent::BeforeDestruction();
    if (trackers_) EmptyReferences();
}

void TComponent::operator delete(TComponent* c, std::destroying_delete_t) noexcept {
    c->freed_ = true;
    if (!c->before_done_) c->BeforeDestruction();
    void* whole = dynamic_cast<void*>(c);  // a component need not be its object's first base
    c->~TComponent();
    ::operator delete(whole);
}

void TComponent::EmptyReferences() noexcept {
    while (ComponentTracker* t = trackers_) t->Drop();
}

void ComponentTracker::Track(TComponent* c, void* object) noexcept {
    if (c == component_) return;
    Drop();
    // A component past its BeforeDestruction has emptied its references already.
    if (!c || c->before_done_) return;
    component_ = c;
    object_ = object;
    next_ = c->trackers_;
    if (next_) next_->prev_ = this;
    c->trackers_ = this;
}

void ComponentTracker::Drop() noexcept {
    if (!component_) return;
    if (prev_)
        prev_->next_ = next_;
    else
        component_->trackers_ = next_;
    if (next_) next_->prev_ = prev_;
    component_ = nullptr;
    object_ = nullptr;
    prev_ = next_ = nullptr;
}

void TComponent::BeforeDestruction() {
    if (before_done_) return;
    before_done_ = true;
    Destroying();
    // Nobody reacting to this end reaches the component through a reference.
    EmptyReferences();
    // Each side of a free notification hears of the other's end once.
    while (!free_notifies_.empty()) {
        TComponent* other = free_notifies_.back();
        free_notifies_.pop_back();
        auto& back = other->free_notifies_;
        back.erase(std::remove(back.begin(), back.end(), this), back.end());
        other->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
    if (owner_) owner_->RemoveComponent(this);
}

void Free(TComponent* c) {
    if (!c) return;
    c->freed_ = true;
    // Here, outside the delete, a BeforeDestruction that throws leaves the component alive.
    if (!c->before_done_) c->BeforeDestruction();
    delete c;
}

void TComponent::InsertComponent(TComponent* c) {
    if (!c || c->owner_ == this) return;
    if (c->owner_) c->owner_->RemoveComponent(c);
    components_.push_back(c);
    c->owner_ = this;
    Notification(c, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* c) {
    auto it = std::find(components_.begin(), components_.end(), c);
    if (it == components_.end()) return;
    Notification(c, TOperation::opRemove);
    it = std::find(components_.begin(), components_.end(), c);
    if (it != components_.end()) components_.erase(it);
    c->owner_ = nullptr;
}

void TComponent::FreeNotification(TComponent* c) {
    if (!c || c == this) return;
    if (owner_ && c->owner_ == owner_) return;  // siblings hear of each other through the owner
    if (std::find(free_notifies_.begin(), free_notifies_.end(), c) == free_notifies_.end()) free_notifies_.push_back(c);
    if (std::find(c->free_notifies_.begin(), c->free_notifies_.end(), this) == c->free_notifies_.end())
        c->free_notifies_.push_back(this);
    state_ |= csFreeNotification;
}

void TComponent::RemoveFreeNotification(TComponent* c) {
    auto drop = [](std::vector<TComponent*>& v, TComponent* x) {
        v.erase(std::remove(v.begin(), v.end(), x), v.end());
    };
    drop(free_notifies_, c);
    if (c) drop(c->free_notifies_, this);
}

void TComponent::Notification(TComponent* component, TOperation op) {
    if (op == TOperation::opRemove && component) RemoveFreeNotification(component);
    // Owned components hear of every removal their owner hears of.
    const std::vector<TComponent*> owned = components_;
    for (TComponent* c : owned)
        if (std::find(components_.begin(), components_.end(), c) != components_.end()) c->Notification(component, op);
}

void TComponent::DestroyComponents() {
    while (!components_.empty()) {
        TComponent* c = components_.back();
        RemoveComponent(c);
        Free(c);
    }
}

void TComponent::Destroying() {
    if (state_ & csDestroying) return;
    state_ |= csDestroying;
    for (TComponent* c : components_) c->Destroying();
}

void TComponent::BeginLoading() {
    state_ |= csLoading | csReading;
    for (TComponent* c : components_) c->BeginLoading();
}

void TComponent::EndLoading() {
    state_ &= ~csReading;
    for (TComponent* c : components_) c->EndLoading();
    Loaded();
}

void TComponent::Loaded() { state_ &= ~csLoading; }

void TComponent::SetDesigning(bool on) {
    if (on)
        state_ |= csDesigning;
    else
        state_ &= ~csDesigning;
    for (TComponent* c : components_) c->SetDesigning(on);
}

// ---------------------------------------------------------------- strings

int TStrings::IndexOf(const std::string& s) const {
    for (int i = 0; i < Count(); ++i)
        if (strcasecmp(Get(i).c_str(), s.c_str()) == 0) return i;
    return -1;
}

std::string TStrings::Text() const {
    std::string out;
    for (int i = 0; i < Count(); ++i) out += Get(i) + "\r\n";
    return out;
}

void TStrings::SetText(const std::string& text) {
    BeginUpdate();
    Clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        Add(text.substr(start, end - start));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        start = end + 1;
    }
    EndUpdate();
}

void TStrings::Assign(TPersistent* source) {
    if (auto* s = dynamic_cast<TStrings*>(source)) {
        BeginUpdate();
        Clear();
        for (int i = 0; i < s->Count(); ++i) Add(s->Get(i), s->GetObject(i));
        EndUpdate();
        return;
    }
    TPersistent::Assign(source);
}

void TStrings::BeginUpdate() {
    if (update_count_ == 0) SetUpdateState(true);
    ++update_count_;
}

void TStrings::EndUpdate() {
    if (update_count_ > 0 && --update_count_ == 0) SetUpdateState(false);
}

void TStringList::Check(int index, int limit) const {
    if (index < 0 || index >= limit) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

std::string TStringList::Get(int index) const {
    Check(index, Count());
    return items_[size_t(index)].first;
}

TObject* TStringList::GetObject(int index) const {
    Check(index, Count());
    return items_[size_t(index)].second;
}

void TStringList::Put(int index, const std::string& s) {
    Check(index, Count());
    Changing();
    items_[size_t(index)].first = s;
    Changed();
}

void TStringList::PutObject(int index, TObject* o) {
    Check(index, Count());
    Changing();
    items_[size_t(index)].second = o;
    Changed();
}

void TStringList::Insert(int index, const std::string& s, TObject* o) {
    Check(index, Count() + 1);
    Changing();
    items_.insert(items_.begin() + index, {s, o});
    Changed();
}

void TStringList::Delete(int index) {
    Check(index, Count());
    Changing();
    items_.erase(items_.begin() + index);
    Changed();
}

void TStringList::Clear() {
    if (items_.empty()) return;
    Changing();
    items_.clear();
    Changed();
}

void TStringList::SetUpdateState(bool updating) {
    if (updating)
        Changing();
    else
        Changed();
}

void TStringList::Changing() {
    if (update_count_ == 0 && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
    if (update_count_ == 0 && OnChange) OnChange(this);
}

// ---------------------------------------------------------------- collections

int TCollectionItem::Index() const { return collection_ ? collection_->IndexOf(this) : -1; }

void TCollectionItem::SetIndex(int index) {
    if (!collection_) return;
    const int cur = Index();
    if (cur >= 0 && index >= 0 && index != cur) {
        collection_->Move(cur, std::min(index, collection_->Count() - 1));
        Changed(true);
    }
}

void TCollectionItem::Changed(bool all_items) {
    if (!collection_ || collection_->update_count_ != 0) return;
    collection_->Update(all_items ? nullptr : this);
}

TCollection::~TCollection() {
    update_count_ = 1;  // no notifications while going
    items_.clear();
}

TCollectionItem* TCollection::Insert(int index) {
    if (index < 0 || index > Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    auto item = factory_(this);
    item->collection_ = this;
    item->id_ = next_id_++;
    TCollectionItem* raw = item.get();
    items_.insert(items_.begin() + index, std::move(item));
    Changed();
    return raw;
}

TCollectionItem* TCollection::Add() { return Insert(Count()); }

TCollectionItem* TCollection::AddItem(std::unique_ptr<TCollectionItem> item) {
    item->collection_ = this;
    item->id_ = next_id_++;
    TCollectionItem* raw = item.get();
    items_.push_back(std::move(item));
    Changed();
    return raw;
}

void TCollection::Delete(int index) {
    if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    auto item = std::move(items_[size_t(index)]);
    items_.erase(items_.begin() + index);
    item.reset();
    Changed();
}

void TCollection::Remove(TCollectionItem* item) {
    const int i = IndexOf(item);
    if (i >= 0) Delete(i);
}

void TCollection::Clear() {
    if (items_.empty()) return;
    BeginUpdate();
    items_.clear();
    EndUpdate();
}

TCollectionItem* TCollection::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return items_[size_t(index)].get();
}

int TCollection::IndexOf(const TCollectionItem* item) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == item) return int(i);
    return -1;
}

void TCollection::Move(int from, int to) {
    if (from < 0 || from >= Count() || to < 0 || to >= Count() || from == to) return;
    auto item = std::move(items_[size_t(from)]);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, std::move(item));
}

void TCollection::BeginUpdate() { ++update_count_; }

void TCollection::EndUpdate() {
    if (update_count_ > 0 && --update_count_ == 0) Changed();
}

void TCollection::Changed() {
    if (update_count_ == 0) Update(nullptr);
}

void TCollection::Assign(TPersistent* source) {
    if (auto* c = dynamic_cast<TCollection*>(source)) {
        BeginUpdate();
        items_.clear();
        for (const auto& item : c->items_) Add()->Assign(item.get());
        EndUpdate();
        return;
    }
    TPersistent::Assign(source);
}

}  // namespace ui
