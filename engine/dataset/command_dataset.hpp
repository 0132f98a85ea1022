#pragma once
// The xBase commands of datasets (TTzCDataSet), through which the program
// does its work on every table: each acts on the dataset's work area and
// then brings the record buffers back in line with the engine.
//
// Each command clears the engine's last error first; one that fails (the
// engine recorded an error, or raised it) skips the resync, and a failed
// write also ends a pending edit without posting it, so that no later move
// can post the values meant for the failed record over another. On a closed
// dataset a command records 1103 and returns its neutral result.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/dataset/engine_dataset.hpp"

namespace zurod {

class TTzCDataSet : public TZoVizuRez {
public:
    explicit TTzCDataSet(ui::TComponent* owner) : TZoVizuRez(owner) {}
    std::string ClassName() const override { return "TTzCDataSet"; }

    bool ReadOnly = false;

    void GoTop();
    void GoBottom();
    // n = 0 re-reads the current record from the file.
    void Skip(int n = 1);
    void Go(int32_t n);
    int RecCount();
    // Visible records (filter and hidden deleted records apply); the engine
    // stays on its record.
    int GetFilteredCount();
    // An empty text clears the filter; a record that does not pass a new one
    // moves the dataset to the last visible record.
    void SetFilterTo(const std::string& expression);
    // `field`: 0 any field, else the one to search; gives the field the text
    // was found in (0: not found).
    void Search(const std::string& text, uint8_t& field, bool whole_table);
    // Over the visible records, with the precision of a 6-byte real.
    double Sum(const std::string& expression);

    void ClearRecord();
    std::string FieldGetText(const std::string& name);
    std::string FieldGet(const std::string& name) { return FieldGetText(name); }
    std::string FieldGetShort(const std::string& name);
    double FieldGetFloat(const std::string& name);
    void FieldPut(const std::string& name, const std::string& text);
    void FieldPutShort(const std::string& name, const std::string& text) { FieldPut(name, text); }
    void FieldPutFloat(const std::string& name, double value);

    void AppendRec();
    void ReplaceRec();
    void DeleteRec();
    void RecallRec();
    int Pack();
    int Zap();
    // Copies the structure and the visible records for which `condition`
    // holds; the condition reads the record through the dataset's fields.
    void CopyTo(const std::string& target, const std::function<bool()>& condition = nullptr);
    void AppendFrom(const std::string& source);

protected:
    bool GetCanModify() override { return !ReadOnly; }
    void DoAfterScroll() override;
    void DoAfterCancel() override;

    // False (after recording 1103) on a closed dataset; selects nothing.
    bool CheckOpen(std::string_view label);
    db::TField* FieldOf(const std::string& name);
    // Runs an engine command: clears the last error, selects the area (first
    // putting the engine on the active record with `push`), runs `command`,
    // and unless it failed calls the after-write hook (with `write`) and resyncs.
    bool Run(std::string_view label, bool push, bool write, const std::function<void()>& command);
    // A write command: Run, then off a record the write hid.
    void WriteCommand(std::string_view label, bool push, void (*write)());
    // Ends an edit without posting.
    void DropEdit();
    // The first thing a command does.
    static void ClearLastError();
};

// `value` as a 6-byte real holds it: 40 significant bits.
double ThroughReal48(double value);

}  // namespace zurod
