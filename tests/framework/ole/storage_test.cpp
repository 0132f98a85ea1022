#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "framework/ole/storage.hpp"
#include "tests/support/temp_dir.hpp"

namespace ole {
namespace {

ComPtr<IStorage> NewStorage(ComPtr<ILockBytes>& bytes) {
    EXPECT_EQ(CreateILockBytesOnHGlobal(nullptr, true, bytes.Put()), S_OK);
    ComPtr<IStorage> s;
    EXPECT_EQ(
        StgCreateDocfileOnILockBytes(bytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, s.Put()),
        S_OK);
    return s;
}

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(StorageTest, StreamsAndStoragesComeBackFromTheCompoundFileBytes) {
    ComPtr<ILockBytes> bytes;
    ComPtr<IStorage> root = NewStorage(bytes);
    EXPECT_EQ(StgIsStorageILockBytes(bytes.Get()), S_OK);  // written at once
    const CLSID clsid{0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    root->SetClass(clsid);
    ASSERT_EQ(WriteStreamBytes(root.Get(), u"\u0001Ole", Bytes("kind=embed")), S_OK);
    ASSERT_EQ(WriteStreamBytes(root.Get(), u"CONTENTS", std::vector<uint8_t>(5000, 0xAB)), S_OK);
    ASSERT_EQ(WriteStreamBytes(root.Get(), u"Empty", {}), S_OK);
    ComPtr<IStorage> sub;
    ASSERT_EQ(root->CreateStorage(u"Sub", STGM_CREATE | STGM_READWRITE, sub.Put()), S_OK);
    ASSERT_EQ(WriteStreamBytes(sub.Get(), u"Inner", Bytes("deep")), S_OK);
    ASSERT_EQ(root->Commit(0), S_OK);

    // Read back from a copy of the bytes alone.
    ComPtr<ILockBytes> copy;
    LockBytesFromData(LockBytesData(bytes.Get()), copy.Put());
    ComPtr<IStorage> again;
    ASSERT_EQ(StgOpenStorageOnILockBytes(copy.Get(), nullptr, STGM_READ, nullptr, 0, again.Put()), S_OK);
    STATSTG st;
    again->Stat(&st);
    EXPECT_EQ(st.clsid, clsid);
    struct Case {
        std::u16string name;
        std::vector<uint8_t> data;
    };
    const Case cases[] = {
        {u"\u0001Ole", Bytes("kind=embed")}, {u"CONTENTS", std::vector<uint8_t>(5000, 0xAB)}, {u"Empty", {}}};
    for (const Case& c : cases) {
        std::vector<uint8_t> got;
        EXPECT_EQ(ReadStreamBytes(again.Get(), c.name, got), S_OK);
        EXPECT_EQ(got, c.data);
    }
    ComPtr<IStorage> sub2;
    ASSERT_EQ(again->OpenStorage(u"Sub", STGM_READ, sub2.Put()), S_OK);
    std::vector<uint8_t> inner;
    EXPECT_EQ(ReadStreamBytes(sub2.Get(), u"Inner", inner), S_OK);
    EXPECT_EQ(inner, Bytes("deep"));
    // Opened for reading, it refuses writes.
    EXPECT_EQ(WriteStreamBytes(again.Get(), u"New", Bytes("x")), STG_E_ACCESSDENIED);
}

TEST(StorageTest, BadNamesMissingElementsAndBytesThatAreNoCompoundFile) {
    ComPtr<ILockBytes> bytes;
    ComPtr<IStorage> root = NewStorage(bytes);
    ComPtr<IStream> s;
    const char16_t* bad[] = {u"", u"a/b", u"a\\b", u"name:x", u"abcdefghijklmnopqrstuvwxyz0123456"};
    for (const char16_t* name : bad) EXPECT_EQ(root->CreateStream(name, STGM_CREATE, s.Put()), STG_E_INVALIDNAME);
    EXPECT_EQ(root->OpenStream(u"missing", 0, s.Put()), STG_E_FILENOTFOUND);
    ASSERT_EQ(root->CreateStream(u"once", 0, s.Put()), S_OK);
    EXPECT_EQ(root->CreateStream(u"once", 0, s.Put()), STG_E_FILEALREADYEXISTS);
    EXPECT_EQ(root->DestroyElement(u"once"), S_OK);
    EXPECT_EQ(root->DestroyElement(u"once"), STG_E_FILENOTFOUND);

    const std::vector<std::vector<uint8_t>> junk = {
        {},
        Bytes("not a compound file at all"),
        {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1, 0, 0, 0},  // the signature, then nothing
    };
    for (const auto& j : junk) {
        ComPtr<ILockBytes> b;
        LockBytesFromData(j, b.Put());
        ComPtr<IStorage> st;
        EXPECT_EQ(StgOpenStorageOnILockBytes(b.Get(), nullptr, STGM_READ, nullptr, 0, st.Put()), STG_E_INVALIDHEADER);
        EXPECT_FALSE(st);
    }
}

TEST(StorageTest, AnotherReaderSeesTheSameStreams) {
    ComPtr<ILockBytes> bytes;
    ComPtr<IStorage> root = NewStorage(bytes);
    WriteStreamBytes(root.Get(), u"CONTENTS", Bytes("Opening balance 100.00\n"));
    WriteStreamBytes(root.Get(), u"\u0001CompObj", Bytes("Corvanta object"));
    root->Commit(0);
    testing_support::TempDir dir;
    const std::string file = dir / "object.bin";
    const std::vector<uint8_t> data = LockBytesData(bytes.Get());
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    const std::string script =
        "import olefile,sys\n"
        "o=olefile.OleFileIO(sys.argv[1])\n"
        "print(sorted('/'.join(p) for p in o.listdir()))\n"
        "print(o.openstream('CONTENTS').read().decode())\n";
    const std::string cmd = "/usr/bin/python3 -c \"" + script + "\" " + file + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[256];
    while (fgets(buf, sizeof buf, p)) out += buf;
    if (pclose(p) != 0 && out.find("No module named") != std::string::npos)
        GTEST_SKIP() << "python3-olefile missing: " << out;
    EXPECT_NE(out.find("'CONTENTS'"), std::string::npos) << out;
    EXPECT_NE(out.find("\\x01CompObj"), std::string::npos) << out;
    EXPECT_NE(out.find("Opening balance 100.00"), std::string::npos) << out;
}

}  // namespace
}  // namespace ole
