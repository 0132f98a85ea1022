#include "controls/chmfile.hpp"

#include <chm_lib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "controls/hh.hpp"
#include "tests/support/files.hpp"
#include "tests/support/temp_dir.hpp"

namespace controls {
namespace {

const std::string kHelpFile = std::string(HELP_DATA_DIR) + "/corvanta.chm";

std::vector<uint8_t> Ivb(std::initializer_list<uint32_t> words) {
    std::vector<uint8_t> bytes;
    for (uint32_t w : words)
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(w >> (8 * i)));
    return bytes;
}

std::vector<uint8_t> Strings(std::string_view text) { return {text.begin(), text.end()}; }

TEST(ChmFileTest, ContextMapRecords) {
    using Map = std::map<uint32_t, std::string>;
    const std::vector<uint8_t> names = Strings(std::string_view("\0a.htm\0b/c.htm\0", 15));
    struct Case {
        const char* name;
        std::vector<uint8_t> ivb, strings;
        Map map;
    };
    const Case cases[] = {
        {"two entries", Ivb({16, 10, 1, 20, 7}), names, {{10, "a.htm"}, {20, "b/c.htm"}}},
        {"a count past the end reads what is there", Ivb({800, 10, 1, 20, 7}), names, {{10, "a.htm"}, {20, "b/c.htm"}}},
        {"a shorter count reads no more", Ivb({8, 10, 1, 20, 7}), names, {{10, "a.htm"}}},
        {"a half pair is left", Ivb({12, 10, 1, 20}), names, {{10, "a.htm"}}},
        {"an offset past the names", Ivb({16, 10, 15, 20, 7}), names, {{20, "b/c.htm"}}},
        {"an empty name", Ivb({8, 10, 0}), names, {}},
        {"the first of a number counts", Ivb({16, 10, 7, 10, 1}), names, {{10, "b/c.htm"}}},
        {"an unterminated last name", Ivb({8, 5, 2}), Strings(std::string_view("\0\0xyz", 5)), {{5, "xyz"}}},
        {"too short for a count", {1, 2, 3}, names, {}},
        {"no names", Ivb({8, 10, 1}), {}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseContextMap(c.ivb, c.strings), c.map) << c.name;
}

TEST(ChmFileTest, ContentNamesThatStayInTheirFolder) {
    const std::pair<const char*, bool> cases[] = {
        {"/index.htm", true},
        {"/topics/split payments.htm", true},
        {"/a..b.htm", true},
        {"/../etc/passwd", false},
        {"/topics/../../x", false},
        {"/./x", false},
        {"//x", false},
        {"/topics/", false},
        {"/", false},
        {"", false},
        {"x.htm", false},
        {"/a\\..\\b", false},
    };
    for (const auto& [name, safe] : cases) EXPECT_EQ(SafeContentName(name), safe) << name;
}

class ChmLibraryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(library_.Load(kChmLibraryName)) << "the chm library (libchm1) is missing"; }
    ChmLibrary library_;
};

TEST_F(ChmLibraryTest, LoadsByNameWithItsVersion) {
    EXPECT_EQ(library_.Version()[0], 1);
    EXPECT_NE(library_.Path().find("libchm.so"), std::string::npos);
    ChmLibrary missing;
    EXPECT_FALSE(missing.Load("libcorvanta-no-such-library.so.1"));
    EXPECT_FALSE(missing.Loaded());
    EXPECT_EQ(ChmFile::Open(missing, kHelpFile), nullptr) << "no library, no file";
}

TEST_F(ChmLibraryTest, TopicsOfContextNumbers) {
    const auto chm = ChmFile::Open(library_, kHelpFile);
    ASSERT_NE(chm, nullptr);
    EXPECT_EQ(chm->ContextMap().size(), 4u);
    const std::pair<uint32_t, std::optional<std::string>> cases[] = {
        {10, "/index.htm"}, {200, "/debit.htm"}, {3000, "/topics/transfer.htm"}, {3001, "/topics/split payments.htm"},
        {0, std::nullopt},  {999, std::nullopt}, {0xFFFFFFFF, std::nullopt},
    };
    for (const auto& [context, topic] : cases) EXPECT_EQ(chm->TopicOfContext(context), topic) << context;
}

TEST_F(ChmLibraryTest, TopicNamesAsMapsHoldThem) {
    const auto chm = ChmFile::Open(library_, kHelpFile);
    ASSERT_NE(chm, nullptr);
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"debit.htm", "/debit.htm"},
        {"/debit.htm", "/debit.htm"},
        {"DEBIT.HTM", "/DEBIT.HTM"},
        {"topics\\transfer.htm", "/topics/transfer.htm"},
        {"/home/someone/help/topics/transfer.htm", "/topics/transfer.htm"},
        {"c:\\help\\debit.htm", "/debit.htm"},
        {"mk:@MSITStore:c:\\corvanta.chm::/topics/split payments.htm", "/topics/split payments.htm"},
        {"debit.htm#split", "/debit.htm#split"},
        {"gone.htm", std::nullopt},
        {"/topics/", std::nullopt},
        {"", std::nullopt},
        {"/", std::nullopt},
        {"#split", std::nullopt},
    };
    for (const auto& [topic, name] : cases) EXPECT_EQ(chm->ResolveTopic(topic), name) << topic;
}

TEST_F(ChmLibraryTest, ContentFilesAndTheirBytes) {
    const auto chm = ChmFile::Open(library_, kHelpFile);
    ASSERT_NE(chm, nullptr);
    ASSERT_TRUE(chm->ContentFiles());
    std::vector<std::string> files = *chm->ContentFiles();
    std::sort(files.begin(), files.end());
    for (const char* name : {"/debit.htm", "/index.htm", "/style.css", "/topics/split payments.htm"})
        EXPECT_TRUE(std::binary_search(files.begin(), files.end(), name)) << name;
    for (const std::string& name : files) EXPECT_NE(name[1], '#') << "the file's own records are no content";

    std::vector<uint8_t> bytes;
    ASSERT_TRUE(chm->Read("/debit.htm", bytes));
    std::ifstream source(std::string(HELP_DATA_DIR) + "/debit.htm", std::ios::binary);
    const std::vector<uint8_t> expected{std::istreambuf_iterator<char>(source), {}};
    EXPECT_EQ(bytes, expected);
    EXPECT_FALSE(chm->Read("/gone.htm", bytes));
    EXPECT_TRUE(bytes.empty());
}

TEST_F(ChmLibraryTest, FilesThatAreNoHelpFiles) {
    testing_support::TempDir dir;
    std::ofstream(dir / "text.chm") << "This is no help file.\n";
    std::ifstream whole(kHelpFile, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(whole), {}};
    std::ofstream(dir / "cut.chm", std::ios::binary) << bytes.substr(0, 200);
    std::ofstream(dir / "empty.chm", std::ios::binary);
    for (const char* name : {"text.chm", "cut.chm", "empty.chm", "missing.chm"}) {
        const auto chm = ChmFile::Open(library_, dir / name);
        if (chm) {
            EXPECT_TRUE(chm->ContextMap().empty()) << name;  // opened, but nothing to read
        }
    }
}

TEST_F(ChmLibraryTest, AFileTheLibraryWouldListForeverHasNoList) {
    testing_support::TempDir dir;
    std::string bytes = testing_support::ReadFileBytes(kHelpFile);
    std::fill(bytes.begin() + 220, bytes.begin() + 224, '\0');  // the directory's listing leads back to itself
    testing_support::WriteFileBytes(dir / "loop.chm", bytes);
    const auto start = std::chrono::steady_clock::now();
    const auto chm = ChmFile::Open(library_, dir / "loop.chm");
    ASSERT_NE(chm, nullptr);
    EXPECT_EQ(chm->ContextMap().size(), 4u) << "what could be read was";
    EXPECT_EQ(chm->ContentFiles(), std::nullopt);
    EXPECT_FALSE(chm->Damaged()) << "the reader stopped the listing itself";
    EXPECT_TRUE(chm->Exists("/debit.htm"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, kChmReplyLimit) << "not cut off by the time limit";
}

// The child's memory is bounded: a damaged file that makes the library ask
// for gigabytes ends the child, not the machine's memory.
TEST_F(ChmLibraryTest, TheReadersChildHasBoundedMemory) {
    struct Case {
        const char* name;
        size_t bytes;
        ChmReader::Opened how;
    } cases[] = {
        {"a few megabytes", size_t(8) << 20, ChmReader::Opened::No},
        {"gigabytes", size_t(3) << 30, ChmReader::Opened::Damaged},
    };
    static size_t asked = 0;
    for (const Case& c : cases) {
        asked = c.bytes;
        ChmLibrary rigged;
        ASSERT_TRUE(rigged.Load(kChmLibraryName));
        // Refuses the file when it got the memory, faults when it did not.
        rigged.open = [](const char*) -> chmFile* {
            void* memory = std::malloc(asked);
            if (!memory) raise(SIGSEGV);
            std::memset(memory, 1, std::min<size_t>(asked, size_t(64) << 20));
            std::free(memory);
            return nullptr;
        };
        ChmReader::Opened how = ChmReader::Opened::Yes;
        EXPECT_EQ(ChmReader::Start(rigged, kHelpFile, std::chrono::seconds(20), how), nullptr) << c.name;
        EXPECT_EQ(how, c.how) << c.name;
    }
}

// The library's entry points changed for ones that fault, hang or answer
// out of form: what a damaged file does to the library, in the reader's child.
TEST_F(ChmLibraryTest, TheReaderOutlivesWhatTheLibraryDoes) {
    using Rig = void (*)(ChmLibrary&);
    using Enumerator = int (*)(chmFile*, chmUnitInfo*, void*);
    using enum ChmReader::Opened;
    struct Case {
        const char* name;
        Rig rig;
        ChmReader::Opened opens;
        size_t topics;                // in the context map
        bool reads;                   // a page
        std::optional<size_t> files;  // content files listed
        bool damaged;                 // in the end
    };
    const Case cases[] = {
        {"the library as it is", [](ChmLibrary&) {}, Yes, 4, true, 7, false},
        {"opening faults",
         [](ChmLibrary& l) { l.open = [](const char*) -> chmFile* { return raise(SIGSEGV), nullptr; }; }, Damaged, 0,
         false, std::nullopt, false},
        {"opening never ends",
         [](ChmLibrary& l) {
             l.open = [](const char*) -> chmFile* {
                 for (;;) pause();
             };
         },
         Damaged, 0, false, std::nullopt, false},
        {"the file is refused", [](ChmLibrary& l) { l.open = [](const char*) -> chmFile* { return nullptr; }; }, No, 0,
         false, std::nullopt, false},
        {"a look-up divides by zero",
         [](ChmLibrary& l) { l.resolve = [](chmFile*, const char*, chmUnitInfo*) { return raise(SIGFPE); }; }, Yes, 0,
         false, std::nullopt, true},
        {"a read never ends",
         [](ChmLibrary& l) {
             l.retrieve = [](chmFile*, chmUnitInfo*, unsigned char*, unsigned long long, long long) -> long long {
                 for (;;) pause();
             };
         },
         Yes, 0, false, std::nullopt, true},
        {"a read gives more than asked for",
         [](ChmLibrary& l) {
             l.retrieve = [](chmFile*, chmUnitInfo*, unsigned char*, unsigned long long, long long n) { return n + 1; };
         },
         Yes, 0, false, 7, false},
        {"an object claims more than any help file holds",
         [](ChmLibrary& l) {
             l.resolve = [](chmFile*, const char*, chmUnitInfo* info) {
                 info->length = kChmObjectLimit + 1;
                 return int(CHM_RESOLVE_SUCCESS);
             };
         },
         Yes, 0, false, 7, false},
        {"listing the files faults",
         [](ChmLibrary& l) { l.enumerate = [](chmFile*, int, Enumerator, void*) { return raise(SIGBUS); }; }, Yes, 4,
         true, std::nullopt, true},
        {"the listing comes back to a name it gave",
         [](ChmLibrary& l) {
             l.enumerate = [](chmFile* file, int, Enumerator e, void* context) {
                 chmUnitInfo info{};
                 std::strcpy(info.path, "/index.htm");
                 for (int i = 0; i < 3; ++i)
                     if (e(file, &info, context) != CHM_ENUMERATOR_CONTINUE) return 0;
                 return 1;
             };
         },
         Yes, 4, true, std::nullopt, false},
    };
    for (const Case& c : cases) {
        ChmLibrary rigged;
        ASSERT_TRUE(rigged.Load(kChmLibraryName));
        c.rig(rigged);
        const auto start = std::chrono::steady_clock::now();
        ChmReader::Opened how = Yes;
        const auto chm = ChmFile::Open(rigged, kHelpFile, std::chrono::milliseconds(300), &how);
        EXPECT_EQ(how, c.opens) << c.name;
        ASSERT_EQ(chm != nullptr, c.opens == Yes) << c.name;
        if (chm) {
            EXPECT_EQ(chm->ContextMap().size(), c.topics) << c.name;
            std::vector<uint8_t> bytes;
            EXPECT_EQ(chm->Read("/debit.htm", bytes), c.reads) << c.name;
            const auto files = chm->ContentFiles();
            EXPECT_EQ(files ? std::optional<size_t>(files->size()) : std::nullopt, c.files) << c.name;
            EXPECT_EQ(chm->Damaged(), c.damaged) << c.name;
            if (c.damaged) {
                EXPECT_FALSE(chm->Exists("/index.htm")) << "nothing is asked of a damaged file: " << c.name;
            }
        }
        // A bound, not a speed: a wait on the hanging child would never end.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << c.name;
    }
}

}  // namespace
}  // namespace controls
