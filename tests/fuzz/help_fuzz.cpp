// libFuzzer target: any bytes as the program's help file, read as F1 reads
// it: opened, its context map read and every topic resolved, every content
// file listed and read. The chm library reads the file in the reader's child
// process, where a fault or a hang must end as a damaged file; this process
// must come through every input, and the sanitizers watch what it does with
// the child's answers.
#include <pthread.h>
#include <sanitizer/common_interface_defs.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "controls/chmfile.hpp"
#include "tests/fuzz/fuzz_support.hpp"

namespace {

const controls::ChmLibrary& Library() {
    static controls::ChmLibrary library;
    if (!library.Loaded() && !library.Load("libchm.so.1")) std::abort();  // the chm library (libchm1) is missing
    return library;
}

}  // namespace

// The reader's child is a copy of this process, the fuzzer's hooks included:
// a fault of the library there is the child's end, not a crash to report.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    pthread_atfork(nullptr, nullptr, [] {
        __sanitizer_set_death_callback(nullptr);
        __sanitizer_set_report_path("/dev/null");
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz_support::Scratch scratch;
    const std::string path = scratch / "help.chm";
    fuzz_support::WriteBytes(path, data, size);
    // A shorter limit than the program's: some inputs make the library loop,
    // and each would cost the whole limit.
    const auto chm = controls::ChmFile::Open(Library(), path, std::chrono::milliseconds(250));
    if (!chm) return 0;
    for (const auto& [context, topic] : chm->ContextMap()) {
        chm->TopicOfContext(context);
        chm->ResolveTopic(topic + "#anchor");
    }
    std::vector<uint8_t> bytes;
    const auto names = chm->ContentFiles();
    for (const std::string& name : names.value_or(std::vector<std::string>{}))
        if (!controls::SafeContentName(name) || (chm->Read(name, bytes) && bytes.size() > controls::kChmObjectLimit))
            std::abort();
    if (chm->Damaged() && (chm->Exists("/#IVB") || chm->ContentFiles())) std::abort();  // nothing more is asked
    return 0;
}
