#pragma once
// The columns of the data grid and its link to the data source. A column
// shows one field; each of its properties reads a default (from the grid or
// the field) until it is set, and a set of flags remembers which were set.
// Passthrough columns are the ones the grid makes by itself, one per visible
// field, while no column is customised. The grid's data link maps columns to
// fields and hands the dataset's notifications to the grid.
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/dataset/engine_dataset.hpp"
#include "framework/db/fields.hpp"
#include "framework/ui/controls.hpp"

namespace zurod {

class TCustomTzGrid;
class TTzColumn;

// Runs `body`, then `end`, which also runs (and keeps quiet) when `body`
// throws: the first failure is the one that counts.
template <class Body, class End>
auto RunThen(Body&& body, End&& end) -> decltype(body()) {
    auto fail = [&] {
        try {
            end();
        } catch (...) {}
    };
    if constexpr (std::is_void_v<decltype(body())>) {
        try {
            body();
        } catch (...) {
            fail();
            throw;
        }
        end();
    } else {
        auto result = [&] {
            try {
                return body();
            } catch (...) {
                fail();
                throw;
            }
        }();
        end();
        return result;
    }
}

// Which properties of a column were set explicitly (bits of TTzColumnValues).
// clang-format off
enum TTzColumnValue : uint16_t {
    cvColor = 1u << 0, cvWidth = 1u << 1, cvFont = 1u << 2, cvAlignment = 1u << 3, cvReadOnly = 1u << 4,
    cvTitleColor = 1u << 5, cvTitleCaption = 1u << 6, cvTitleAlignment = 1u << 7, cvTitleFont = 1u << 8,
    cvFieldName = 1u << 9,
};
// clang-format on
using TTzColumnValues = uint16_t;
enum TTzColumnButtonStyle { cbsAuto, cbsEllipsis, cbsNone };

class TTzColumnTitle : public ui::TPersistent {
public:
    explicit TTzColumnTitle(TTzColumn* column);
    ~TTzColumnTitle() override;
    std::string ClassName() const override { return "TTzColumnTitle"; }
    void Assign(ui::TPersistent* source) override;

    TTzColumn* Column() const { return column_; }
    ui::TAlignment Alignment() const;
    void SetAlignment(ui::TAlignment v);
    std::string Caption();
    virtual void SetCaption(const std::string& v);
    ui::TColor Color() const;
    void SetColor(ui::TColor v);
    // The title's font object; while it was not set it follows the default.
    ui::TFont* Font();
    void SetFont(ui::TFont* v);
    virtual void RestoreDefaults();
    // Takes the default font again while no font was set.
    void RefreshDefaultFont();

    ui::TAlignment DefaultAlignment() const { return ui::taLeftJustify; }
    std::string DefaultCaption();
    ui::TColor DefaultColor() const;
    ui::TFont* DefaultFont() const;
    // Whether a layout would store the property.
    bool IsCaptionStored();
    bool IsColorStored() const;
    bool IsAlignmentStored() const;
    bool IsFontStored() const;

protected:
    void FontChanged();
    TTzColumn* column_;
    std::string caption_;
    ui::TColor color_ = ui::clBtnFace;
    ui::TAlignment alignment_ = ui::taLeftJustify;
    std::unique_ptr<ui::TFont> font_;
    bool refreshing_ = false;
};

class TTzColumn : public ui::TCollectionItem {
public:
    explicit TTzColumn(ui::TCollection* collection);
    ~TTzColumn() override;
    std::string ClassName() const override { return "TTzColumn"; }
    void Assign(ui::TPersistent* source) override;

    TCustomTzGrid* Grid() const;
    // The field shown; looked up by name when none is held yet.
    db::TField* Field();
    db::TField* HeldField() const { return field_; }
    virtual void SetField(db::TField* field);
    const std::string& FieldName() const { return field_name_; }
    void SetFieldName(const std::string& name);
    ui::TColor Color() const;
    void SetColor(ui::TColor v);
    // The explicit width when set, else the default width.
    int GetWidth();
    int Width() { return GetWidth(); }
    virtual void SetWidth(int v);
    ui::TFont* Font();
    void SetFont(ui::TFont* v);
    ui::TAlignment Alignment() const;
    virtual void SetAlignment(ui::TAlignment v);
    bool ReadOnly() const;
    virtual void SetReadOnly(bool v);
    TTzColumnTitle* Title() const { return title_.get(); }
    void SetTitle(TTzColumnTitle* v) { title_->Assign(v); }
    ui::TStrings* PickList();
    void SetPickList(ui::TStrings* v);
    bool HasPickList() const { return pick_list_ != nullptr; }
    int DropDownRows = 7;
    TTzColumnButtonStyle ButtonStyle() const { return button_style_; }
    void SetButtonStyle(TTzColumnButtonStyle v);
    TTzColumnValues AssignedValues() const { return assigned_; }
    virtual void RestoreDefaults();

    ui::TColor DefaultColor() const;
    ui::TFont* DefaultFont() const;
    ui::TAlignment DefaultAlignment() const { return ui::taLeftJustify; }
    bool DefaultReadOnly() const { return false; }
    int DefaultWidth();
    bool IsWidthStored();
    bool IsColorStored() const;
    bool IsFontStored() const { return assigned_ & cvFont; }
    bool IsAlignmentStored() const;
    bool IsReadOnlyStored() const;
    // The collection hears of a change of this column (or of all columns).
    void Notify(bool all_columns) { Changed(all_columns); }
    // Forgets the field without telling anyone (the field is going).
    void DropField() { field_ = nullptr; }

protected:
    friend class TTzColumnTitle;
    virtual std::unique_ptr<TTzColumnTitle> CreateTitle();
    void AssignFrom(TTzColumn* source);
    void SetWidthValue(int v);
    void RefreshDefaultFont();
    void FontChanged();
    void AssignValue(TTzColumnValue flag) { assigned_ |= flag; }
    void ClearValues(TTzColumnValues flags) { assigned_ &= TTzColumnValues(~flags); }

    db::TField* field_ = nullptr;
    std::string field_name_;
    ui::TColor color_ = ui::clWindow;
    int width_ = 0;
    std::unique_ptr<TTzColumnTitle> title_;
    std::unique_ptr<ui::TFont> font_;
    std::unique_ptr<ui::TStringList> pick_list_;
    TTzColumnButtonStyle button_style_ = cbsAuto;
    ui::TAlignment alignment_ = ui::taLeftJustify;
    bool read_only_ = false;
    TTzColumnValues assigned_ = 0;
    bool refreshing_ = false;
};

class TPassthroughColumnTitle : public TTzColumnTitle {
public:
    using TTzColumnTitle::TTzColumnTitle;
    std::string ClassName() const override { return "TPassthroughColumnTitle"; }
    // Only while the grid's link is active and the column has a field.
    void SetCaption(const std::string& v) override;
};

// A column the grid made for a visible field; it follows the field and
// writes widths the user gives it back into the field's display width.
class TPassthroughColumn : public TTzColumn {
public:
    explicit TPassthroughColumn(ui::TCollection* collection);
    std::string ClassName() const override { return "TPassthroughColumn"; }
    void SetIndex(int index) override;
    void SetAlignment(ui::TAlignment v) override;
    void SetField(db::TField* field) override;
    void SetWidth(int v) override;

protected:
    std::unique_ptr<TTzColumnTitle> CreateTitle() override;
};

class TTzGridColumns : public ui::TCollection {
public:
    explicit TTzGridColumns(TCustomTzGrid* grid);
    std::string ClassName() const override { return "TTzGridColumns"; }
    TCustomTzGrid* Grid() const { return grid_; }
    // The column at `index`; EListError out of range.
    TTzColumn* GetColumn(int index) const;
    TTzColumn* operator[](int index) const { return GetColumn(index); }
    TTzColumn* Add();
    TPassthroughColumn* AddPassthrough();
    // Customised: at least one column, and the first is not a passthrough column.
    bool Customized() const;
    void RestoreDefaults();

protected:
    void Update(ui::TCollectionItem* item) override;

private:
    TCustomTzGrid* grid_;
};

// The grid's link: the map of grid columns to fields, and the dataset's
// notifications handed to the grid.
class TTzGridDataLink : public TTzDataLink {
public:
    explicit TTzGridDataLink(TCustomTzGrid* grid) : grid_(grid) {}
    std::string ClassName() const override { return "TTzGridDataLink"; }

    static constexpr int kMaxMapSize = 16380;
    void ClearMapping();
    // Maps the next column to the field of that name: in the customised
    // state a missing field maps to none, otherwise it raises.
    bool AddMapping(const std::string& field_name);
    // The field at a map position; none outside the map or for -1.
    db::TField* Fields(int index) const;
    int FieldCount() const { return int(map_.size()); }
    bool IsFieldMapped(const db::TField* field) const;
    bool SparseMap() const { return sparse_; }
    void SetSparseMap(bool v) { sparse_ = v; }
    // Whether the dataset shows default fields (none: true).
    bool DefaultFields() const;
    bool InLayout() const { return in_layout_; }
    bool InUpdateData() const { return in_update_data_; }
    bool IsModified() const { return modified_; }
    void Modified() { modified_ = true; }
    // Escape: an unchanged edit is cancelled, a changed one read again.
    void Reset();

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void LayoutChanged() override;
    void EditingChanged() override;
    void RecordChanged(db::TField* field) override;
    void UpdateData() override;

private:
    TCustomTzGrid* grid_;
    std::vector<int32_t> map_;
    bool sparse_ = false;
    bool modified_ = false;
    bool in_update_data_ = false;
    bool in_layout_ = false;
};

}  // namespace zurod
