#pragma once
// Data sources and data links: a data source stands between one dataset and
// any number of data links (grids, navigators, edits) and fans the dataset's
// events out to them; a data link sees a window of BufferCount records of the
// dataset's buffers that always holds the active record.
#include <cstdint>
#include <functional>
#include <vector>

#include "framework/db/dataset.hpp"
#include "framework/ui/classes.hpp"

namespace db {

class TDataLink;

class TDataSource : public ui::TComponent {
public:
    explicit TDataSource(ui::TComponent* owner) : ui::TComponent(owner) {}
    ~TDataSource() override;
    std::string ClassName() const override { return "TDataSource"; }
    void BeforeDestruction() override;
    void Notification(ui::TComponent* component, ui::TOperation op) override;

    TDataSet* DataSet() const { return dataset_; }
    void SetDataSet(TDataSet* dataset);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool AutoEdit = true;
    // The dataset's state while enabled, else inactive.
    TDataSetState State() const { return state_; }
    // Puts the dataset into edit state when AutoEdit allows and it is browsing.
    void Edit();
    bool IsLinkedTo(const TDataSet* dataset) const;
    const std::vector<TDataLink*>& DataLinks() const { return links_; }

    ui::TNotifyEvent OnStateChange, OnUpdateData;
    std::function<void(ui::TObject* sender, TField* field)> OnDataChange;

private:
    friend class TDataSet;
    friend class TDataLink;
    void DataEvent(TDataEvent event, intptr_t info);
    void NotifyLinks(TDataEvent event, intptr_t info);
    void UpdateState();
    void AddDataLink(TDataLink* link);
    void RemoveDataLink(TDataLink* link);

    TDataSet* dataset_ = nullptr;
    bool enabled_ = true;
    TDataSetState state_ = dsInactive;
    std::vector<TDataLink*> links_;
};

class TDataLink : public ui::TPersistent {
public:
    TDataLink() = default;
    ~TDataLink() override;
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;
    std::string ClassName() const override { return "TDataLink"; }

    TDataSource* DataSource() const { return source_; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const { return source_ ? source_->DataSet() : nullptr; }
    bool Active() const { return active_; }
    bool Editing() const { return editing_; }
    bool ReadOnly() const { return read_only_; }
    void SetReadOnly(bool read_only);
    // The active record's place in the link's window (0 while inactive).
    int ActiveRecord() const;
    // Makes another record of the window the dataset's active one, for
    // drawing it; put the old one back afterwards.
    void SetActiveRecord(int value);
    int BufferCount() const { return buffer_count_; }
    void SetBufferCount(int count);
    // Records in the window.
    int RecordCount() const;
    // The dataset's buffer index of the window's first row.
    int FirstRecord() const { return first_record_; }
    // Puts the dataset into edit state (through the data source); whether it is editing.
    bool Edit();
    void UpdateRecord();

protected:
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    // `distance`: rows the window moved (positive: towards the end).
    virtual void DataSetScrolled(int) { DataSetChanged(); }
    virtual void EditingChanged() {}
    virtual void FocusControl(TField*) {}
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField*) {}
    virtual void UpdateData() {}

private:
    friend class TDataSource;
    void DataEvent(TDataEvent event, intptr_t info);
    void UpdateState();
    void SetActive(bool active);
    void SetEditing(bool editing);
    // Keeps the window on the active record; with `fill`, as full as the records allow.
    int UpdateRange(int shift, bool fill);

    TDataSource* source_ = nullptr;
    bool active_ = false;
    bool editing_ = false;
    bool read_only_ = false;
    bool updating_ = false;
    int buffer_count_ = 1;
    int first_record_ = 0;
};

}  // namespace db
