#include "framework/db/datasource.hpp"

#include <algorithm>

namespace db {

// ---------------------------------------------------------------- data source

TDataSource::~TDataSource() {
    if (!Has(ui::csDestroying)) TDataSource::BeforeDestruction();
}

void TDataSource::BeforeDestruction() {
    while (!links_.empty()) links_.back()->SetDataSource(nullptr);
    SetDataSet(nullptr);
    ui::TComponent::BeforeDestruction();
}

void TDataSource::Notification(ui::TComponent* component, ui::TOperation op) {
    ui::TComponent::Notification(component, op);
    if (op == ui::TOperation::opRemove && component == dataset_) SetDataSet(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataset) {
    if (dataset == dataset_) return;
    if (dataset_) {
        auto& list = dataset_->data_sources_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        TDataSet* old = dataset_;
        dataset_ = nullptr;
        old->UpdateBufferCount();
        if (!old->Has(ui::csDestroying)) RemoveFreeNotification(old);
    }
    dataset_ = dataset;
    if (dataset_) {
        dataset_->data_sources_.push_back(this);
        FreeNotification(dataset_);
        dataset_->UpdateBufferCount();
    }
    UpdateState();
}

void TDataSource::SetEnabled(bool enabled) {
    enabled_ = enabled;
    UpdateState();
}

void TDataSource::Edit() {
    if (AutoEdit && state_ == dsBrowse) dataset_->Edit();
}

bool TDataSource::IsLinkedTo(const TDataSet* dataset) const { return dataset && dataset_ == dataset; }

void TDataSource::UpdateState() {
    const TDataSetState state = enabled_ && dataset_ ? dataset_->State() : dsInactive;
    if (state == state_) return;
    state_ = state;
    NotifyLinks(deUpdateState, 0);
    if (OnStateChange) OnStateChange(this);
}

void TDataSource::DataEvent(TDataEvent event, intptr_t info) {
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (state_ == dsInactive) return;
    NotifyLinks(event, info);
    switch (event) {
    case deFieldChange:
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
        if (OnDataChange) OnDataChange(this, event == deFieldChange ? reinterpret_cast<TField*>(info) : nullptr);
        break;
    case deUpdateRecord:
        if (OnUpdateData) OnUpdateData(this);
        break;
    default: break;
    }
}

void TDataSource::NotifyLinks(TDataEvent event, intptr_t info) {
    // A link may leave the source while it is told.
    const std::vector<TDataLink*> links = links_;
    for (TDataLink* link : links)
        if (std::find(links_.begin(), links_.end(), link) != links_.end()) link->DataEvent(event, info);
}

void TDataSource::AddDataLink(TDataLink* link) {
    links_.push_back(link);
    if (dataset_) dataset_->UpdateBufferCount();
}

void TDataSource::RemoveDataLink(TDataLink* link) {
    links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
    if (dataset_) dataset_->UpdateBufferCount();
}

// ---------------------------------------------------------------- data link

TDataLink::~TDataLink() {
    if (source_) source_->RemoveDataLink(this);
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == source_) return;
    if (source_) source_->RemoveDataLink(this);
    source_ = source;
    if (source_) source_->AddDataLink(this);
    UpdateState();
}

void TDataLink::SetReadOnly(bool read_only) {
    if (read_only_ == read_only) return;
    read_only_ = read_only;
    UpdateState();
}

int TDataLink::ActiveRecord() const {
    if (!active_ || source_->State() == dsSetKey) return 0;
    return DataSet()->active_record_ - first_record_;
}

void TDataLink::SetActiveRecord(int value) {
    if (active_ && source_->State() != dsSetKey) DataSet()->active_record_ = value + first_record_;
}

void TDataLink::SetBufferCount(int count) {
    count = std::max(count, 1);
    if (count == buffer_count_) return;
    buffer_count_ = count;
    if (active_) {
        DataSet()->UpdateBufferCount();
        UpdateRange(0, true);
    }
}

int TDataLink::RecordCount() const {
    if (!active_) return 0;
    return std::clamp(DataSet()->record_count_ - first_record_, 0, buffer_count_);
}

bool TDataLink::Edit() {
    if (!read_only_ && source_) source_->Edit();
    return editing_;
}

void TDataLink::UpdateRecord() {
    updating_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{updating_};
    UpdateData();
}

void TDataLink::UpdateState() {
    SetActive(source_ && source_->State() != dsInactive);
    SetEditing(active_ && EditModes(source_->State()) && !read_only_);
}

void TDataLink::SetActive(bool active) {
    if (active == active_) return;
    active_ = active;
    first_record_ = 0;
    if (active_) UpdateRange(0, true);
    ActiveChanged();
}

void TDataLink::SetEditing(bool editing) {
    if (editing == editing_) return;
    editing_ = editing;
    EditingChanged();
}

int TDataLink::UpdateRange(int shift, bool fill) {
    const TDataSet* ds = DataSet();
    const int active = ds->active_record_;
    const int first = first_record_ + shift;
    const int last = first + buffer_count_ - 1;
    int count = 0;
    if (active > last)
        count = active - last;
    else if (active < first)
        count = active - first;
    first_record_ = first + count;
    if (fill) first_record_ = std::max(0, std::min(first_record_, ds->record_count_ - buffer_count_));
    return count;
}

void TDataLink::DataEvent(TDataEvent event, intptr_t info) {
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (!active_) return;
    switch (event) {
    case deFieldChange:
    case deRecordChange:
        if (!updating_) RecordChanged(reinterpret_cast<TField*>(info));
        break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
        int count = 0;
        if (source_->State() != dsSetKey) count = UpdateRange(static_cast<int>(info), event != deDataSetScroll);
        if (event == deDataSetChange)
            DataSetChanged();
        else if (event == deDataSetScroll)
            DataSetScrolled(count);
        else
            LayoutChanged();
        break;
    }
    case deUpdateRecord: UpdateRecord(); break;
    case deCheckBrowseMode: CheckBrowseMode(); break;
    case deFocusControl: FocusControl(reinterpret_cast<TField*>(info)); break;
    default: break;
    }
}

}  // namespace db
