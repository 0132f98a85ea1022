#pragma once
// Sorting one tag's (key, record) pairs for the build within a memory
// budget: keys in an order-preserving form, sorted in memory as long as they
// fit, otherwise in sorted runs of a work file in the temporary folder that
// are merged, in more than one pass when the budget cannot hold a buffer
// for every run. Memory stays within the budget whatever the table's size.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/dbf/errors.hpp"
#include "platform/file.hpp"

namespace zurod {

// The order-preserving form of a key: comparing two of them byte by byte
// orders them as the tag does, descending tags included.
class KeyForm {
public:
    KeyForm(char type, bool descending, uint16_t key_length);
    uint16_t Length() const { return length_; }
    void Normalize(const uint8_t* key, uint8_t* out) const;

private:
    char type_;
    bool descending_;
    uint16_t key_length_;
    uint16_t length_;
};

class KeySorter {
public:
    // Bytes a key takes in memory while its tag's keys are gathered.
    static size_t ItemBytes(const KeyForm& form, uint16_t key_length);
    // The smallest budget that still sorts.
    static constexpr size_t kMinBudget = size_t{64} << 10;

    // `expected` keys at most will come; `budget` bytes is what the sorter
    // may hold at any time.
    KeySorter(const KeyForm& form, uint16_t key_length, size_t budget, int32_t expected);
    ~KeySorter();
    KeySorter(const KeySorter&) = delete;
    KeySorter& operator=(const KeySorter&) = delete;

    // Whether `count` keys would go through the work file.
    bool Spills(int64_t count) const;

    // A key as the tag stores it, with its record.
    Status Add(const uint8_t* key, uint32_t record);
    // Passes every key in order, equal forms by record, to `emit(slot,
    // record)`, where `slot` is the form followed by the key as stored; then
    // holds nothing any more.
    using Emit = std::function<Status(const uint8_t* slot, uint32_t record)>;
    Status Drain(const Emit& emit);
    // Holds nothing any more (a tag that failed).
    void Release();

private:
    // One key in memory: the first 16 bytes of its form inline, so that
    // most comparisons never reach the arena holding the rest.
    struct Item {
        uint64_t high, low;
        uint32_t record;
        uint32_t at;  // item number in the arena
    };
    struct Run {
        uint64_t at, length;
    };

    void Sort();
    void FreeMemory();
    Status Spill();
    Status OpenWorkFile();
    // Merges `runs` into `emit` (or, when `into` is given, into a new run
    // written there) with `memory` bytes of buffers.
    Status Merge(const std::vector<Run>& runs, size_t memory, const Emit& emit);
    Status MergeInto(const std::vector<Run>& runs, size_t memory, Run& merged);

    const KeyForm& form_;
    uint16_t key_length_;
    size_t stride_;  // form and key in the arena
    size_t budget_;
    size_t max_items_;
    std::vector<Item> items_;
    std::vector<uint8_t> arena_;
    platform::File work_;
    std::string work_path_;
    uint64_t work_size_ = 0;
    std::vector<Run> runs_;
};

}  // namespace zurod
