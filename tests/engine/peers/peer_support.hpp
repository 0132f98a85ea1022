#pragma once
// Shared pieces of the compatibility tests: the independent readers and
// writers (the Python and Perl peers as child processes, shapelib linked in)
// and the canonical dump every reader's view is compared in.
//
// Canonical dump (UTF-8, tab-separated; peers.py prints the same form):
//   version <first byte of the file>
//   count <record count in the header> <records found>
//   field <name> <type> <length> <decimals>
//   record <mark> <value> ...
// Records in file order, unmarked ones first, then the deleted ones. Values:
// C without trailing blanks, D YYYYMMDD, N and F with the field's decimals,
// L T or F, M the memo's text (or its block number for shapelib, which does
// not read memo files).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/engine_fixture.hpp"

namespace peers {

// The engine as the compatibility tests want it: a fresh engine with the
// memo unit attached, SET DATE ANSI and the century on (dates YYYYMMDD).
class PeerTest : public testing_support::EngineTest {
protected:
    void SetUp() override;
    // The table at `path` as the engine reads it, opened exclusively.
    std::string EngineDumpOf(const std::string& path);
};

// Values are canonical texts in the ANSI page; kNull asks a peer for a null.
inline constexpr std::string_view kNull = "\\N";

struct Column {
    std::string name;
    char type;
    int length;
    int decimals;
};

struct Row {
    bool deleted;
    std::vector<std::string> values;
};

struct TableData {
    std::vector<Column> columns;
    std::vector<Row> rows;
};

// Runs the Python peer script with the given arguments and returns what it
// printed; a failing run is a test failure that shows the peer's stderr.
std::string RunPeerScript(const std::vector<std::string>& args, const std::string& scratch_dir);

// Dump of what a peer read: "dbfread" or "dbf" with the Python codec name
// of the page the table's bytes are in.
std::string PeerDump(std::string_view reader, std::string_view encoding, const std::string& table,
                     const std::string& scratch_dir);

// Writes a table with python-dbf ("db3" or "fp") carrying the given language
// driver byte; `encoding` is the page the bytes on disk are to be in.
void PythonDbfWrite(const std::string& table, std::string_view dbf_type, int language_driver, std::string_view encoding,
                    const TableData& data, const std::string& scratch_dir);

// The same through Perl's XBase module: a dump of what it reads, and a table
// it writes with dBASE III ("db3"), dBASE IV ("db4") or FoxPro ("fp") memos.
std::string PerlDump(std::string_view encoding, const std::string& table, const std::string& scratch_dir);
void PerlWrite(const std::string& table, std::string_view dbf_type, std::string_view encoding, const TableData& data,
               const std::string& scratch_dir);

enum class DumpStyle {
    Python,    // C values keep leading blanks, memos as text
    Shapelib,  // C values trimmed on both sides, memos as block numbers
};

// The table open in the current area as the engine reads it.
std::string EngineDump(DumpStyle style = DumpStyle::Python);
// The table shapelib reads at `path`; `oem` says which page its text is in.
std::string ShapelibDump(const std::string& path, bool oem);
// What a reader should see of `data`. `version` is the file's first byte;
// nulls read as the engine reads blanks, dates as `null_date`.
std::string ExpectedDump(uint8_t version, const TableData& data, std::string_view null_date = "");

// Fills the current area's swap buffer from canonical values (dates
// YYYYMMDD; memos are stored as new memos) and appends the record, marking
// it deleted when asked.
void AppendThroughEngine(const Row& row);
// Sets field n (1-based) of the current area from a canonical value.
void SetFieldValue(int n, const std::string& value);

// The bytes of memo `block` of the current area as they are stored.
std::string StoredMemo(int32_t block);

// Opens the table, replaces every record without changing it and closes it
// again (shared tables record by record under record locks).
void ReplaceEveryRecordUnchanged(const std::string& path, bool shared);

// Empty when the two files are byte-identical except the header's
// last-update date (bytes 1-3), else a description of the first difference.
std::string DifferenceOutsideDate(const std::string& before, const std::string& after);

}  // namespace peers
