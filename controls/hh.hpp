#pragma once
// The help viewer. It reads the compiled help file itself through the chm
// library (loaded at start-up and freed at the end), maps a context number
// to its topic through the file's context map, and shows the topic: in the
// desktop's help viewer program at that topic when one is installed, else as
// the topic's page extracted to a temporary folder and opened by the
// desktop's opener. Programs are started by argument vector, never by shell.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "controls/chmfile.hpp"

namespace controls {

// Commands of the viewer's entry point, with the original platform's values.
constexpr unsigned HH_DISPLAY_TOPIC = 0x00;
constexpr unsigned HH_HELP_CONTEXT = 0x0F;
constexpr unsigned HH_CLOSE_ALL = 0x12;

// The library, the viewer programs (in the order they are preferred) and the
// desktop's opener of a page.
inline constexpr const char* kChmLibraryName = "libchm.so.1";
inline constexpr const char* kPageViewer = "kchmviewer";  // takes a page: -showPage /topic.htm file
inline constexpr const char* kContextViewer = "xchm";     // takes a context number: --contextid=N file
inline constexpr const char* kPageOpener = "xdg-open";

// The bounds of extracting one help file's pages. Each page read has the
// reader's own bounds, but a file may list one large compressed range under
// any number of names: past either bound the file counts as damaged.
struct ExtractLimits {
    std::chrono::milliseconds time{30000};
    uint64_t bytes = uint64_t(512) << 20;
};

// Why the last request showed nothing.
struct HHFailure {
    enum Kind { None, NoLibrary, CannotOpen, Damaged, NoTopic, CannotExtract, CannotStart } kind = None;
    std::string file;  // the help file
    uint32_t context = 0;
    std::vector<std::string> argv;  // of a program that did not start
    int error = 0;                  // its system error code
};

// The unit's state: the library, where programs are looked for, the pages
// extracted so far and the viewers started.
class HHViewer {
public:
    static HHViewer& Instance();
    // At the end of the program: the extracted pages go; viewers stay open.
    ~HHViewer();
    // Start-up: loads the library (false when it is missing) and takes the
    // folders programs are looked for in (":"-separated) and the temporary
    // folder pages are extracted below.
    bool Start(const std::string& library, const std::string& search_path, const std::string& temp_dir);
    // Closes what it started, removes the extracted pages, frees the library.
    void Shutdown();

    const ChmLibrary& Library() const { return library_; }
    const std::string& SearchPath() const { return search_path_; }
    // A program of that name in the search path, or "".
    std::string Find(const char* program) const;
    // The library is there and something can show a topic.
    bool CanShow() const;
    // The program that shows topics: a viewer, else the opener; "" for none.
    std::string Shower() const;

    // The entry point. HH_HELP_CONTEXT shows the topic of context number
    // `data` of the file in `path` ("file" or "file>window"); HH_CLOSE_ALL
    // asks every viewer it started to close. The result is the process that
    // shows the topic (1 when the opener handed it on), 0 when nothing is
    // shown; LastFailure then says why, and the user was told.
    intptr_t HtmlHelp(intptr_t owner, const std::string& path, unsigned command, uintptr_t data);
    const HHFailure& LastFailure() const { return failure_; }

    // The folder the pages of `file` were extracted to ("" until then).
    std::string ExtractedFolder(const std::string& file) const;
    // Kept over Start and Shutdown.
    void SetExtractLimits(ExtractLimits limits) { extract_limits_ = limits; }

private:
    intptr_t ShowContext(const std::string& file, uint32_t context);
    enum class Extracted { Yes, Damaged, CannotWrite };
    Extracted Extract(const ChmFile& chm, const std::string& file, std::string& folder);
    intptr_t Fail(HHFailure failure, const std::string& message);

    ChmLibrary library_;
    std::string search_path_;
    std::string temp_dir_;
    std::string temp_root_;
    std::vector<std::pair<std::string, std::string>> extracted_;  // help file, folder
    std::vector<int> viewers_;
    HHFailure failure_;
    ExtractLimits extract_limits_;
};

// The file part of a viewer path: "mk:@MSITStore:" and ">window" removed.
std::string HelpFileOfPath(const std::string& path);

}  // namespace controls
