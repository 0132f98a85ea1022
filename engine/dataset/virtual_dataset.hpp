#pragma once
// The dataset over an in-memory virtual file (TTzLLDataSet, published as
// TTzVFile): its structure comes from DbfFields, its records are appended in
// one of five modes (the sorted ones by the KeyMaker's key), and it can be
// filled from its table file when it opens and written back when it closes.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dataset/command_dataset.hpp"

namespace zurod {

enum LStatusType : uint8_t { FIFO = 0, LIFO = 1, INSERTION = 2, ASCENDING = 3, DESCENDING = 4 };

class TTzLLDataSet;
// The sort key of the record the dataset's fields show.
using TTzKeyMaker = std::function<std::string(TTzLLDataSet* sender)>;

class TTzLLDataSet : public TTzCDataSet {
public:
    explicit TTzLLDataSet(ui::TComponent* owner) : TTzCDataSet(owner) {}
    std::string ClassName() const override { return "TTzLLDataSet"; }

    LStatusType AppendMode() const { return mode_; }
    // On an open file: the new mode; the sorted modes sort the records now.
    void SetAppendMode(LStatusType mode);
    bool PopulateFromDisk = false;
    bool SaveToDisk = false;
    TTzKeyMaker KeyMaker;
    // Changed since it was loaded or saved.
    bool VFileModified() const { return modified_; }
    bool IsVirtual() const override { return true; }

    // Loads the records of DbfFileName (fields matched by name when the
    // layouts differ); nothing when the file does not exist.
    virtual void DoPopulateFromDisk();
    // Writes the records to DbfFileName, through a new file that replaces
    // the old one only when all went well; false (the old file and the
    // modified flag kept) otherwise.
    virtual bool DoSaveToDisk();

protected:
    bool GetCanModify() override { return true; }
    bool OpenTable(const std::string& file_name) override;
    bool AppendOp() override;
    bool DeleteOp() override;
    bool RestoreOp() override;
    bool ReplaceOp() override;
    void AfterWriteHook() override { modified_ = true; }
    void BeforeCloseHook() override;
    void TziClose() override;
    void DoAfterOpen() override;

private:
    void MakeKey(std::string& key);
    // The engine's write without a lock; the file is modified.
    bool DirectWrite(std::string_view label, void (*write)(), bool skip_hidden);

    LStatusType mode_ = FIFO;
    bool modified_ = false;
    std::vector<char> structure_;
};

class TTzVFile : public TTzLLDataSet {
public:
    explicit TTzVFile(ui::TComponent* owner) : TTzLLDataSet(owner) {}
    std::string ClassName() const override { return "TTzVFile"; }
};

}  // namespace zurod
