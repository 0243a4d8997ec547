// Files and resources: the resources embedded at build time, the machine's files (in a scratch
// directory) and the in-memory fakes the engine's tests run on.
#include "platform/files.h"
#include "platform/resources.h"
#include "platform/sim/fake_files.h"
#include "platform/sim/fake_resources.h"
#include "platform/text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::sim::FakeFileSystem;
using platform::sim::FileEvent;
using platform::sim::FileFault;
using platform::sim::FileOperation;
using ::testing::ElementsAre;

// --- Embedded resources ------------------------------------------------------------------------

Bytes FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ProgramResourcesTest, FirmwareImage_IsTheCommittedFileByteForByte) {
    const auto found = platform::ProgramResources().Find(u"FW", 136);
    ASSERT_TRUE(found.has_value());
    const Bytes image(found->begin(), found->end());
    ASSERT_EQ(image.size(), 2589u);
    // Block size 516, header length 9, the five further header bytes.
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 9), Bytes({0x04, 0x02, 0x09, 0x00, 0x10, 0x34, 0x10, 0x02, 0x05}));
    const auto committed = FileBytes(std::filesystem::path(QL_SOURCE_DIR) / "res" / "Korva_PCU_A16.qfu");
    EXPECT_EQ(image, committed);
}

TEST(ProgramResourcesTest, SkinImagesAndIcon_AreThePngFilesOfTheSkin) {
    const Bytes pngSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (std::uint16_t id = 141; id <= 156; ++id) {
        const auto found = platform::ProgramResources().Find(u"PNG", id);
        ASSERT_TRUE(found.has_value()) << id;
        ASSERT_GT(found->size(), pngSignature.size()) << id;
        EXPECT_EQ(Bytes(found->begin(), found->begin() + 8), pngSignature) << id;
    }
    // The icon is the 32 x 32 image (on Windows, the one taken from the icon group).
    const auto icon = platform::ProgramResources().Find(u"ICON", 131);
    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(Bytes(icon->begin(), icon->end()),
              FileBytes(std::filesystem::path(QL_SOURCE_DIR) / "res" / "skin" / "131_icon_32.png"));
}

TEST(ProgramResourcesTest, OtherTypeOrNumber_IsNotFound) {
    struct Lookup {
        std::u16string_view type;
        std::uint16_t id;
    };
    const Lookup absent[] = {
        {u"FW", 137}, {u"FW", 135}, {u"FW", 0}, {u"PNG", 136}, {u"fw", 136},
        {u"F", 136},  {u"FWX", 136}, {u"", 136}, {std::u16string_view(u"FW\0", 3), 136},
        {u"Png", 141}, {u"ICON", 132}, {u"icon", 131},
    };
    for (const Lookup& lookup : absent) {
        EXPECT_FALSE(platform::ProgramResources().Find(lookup.type, lookup.id).has_value())
            << platform::ToUtf8(lookup.type) << " " << lookup.id;
    }
}

// --- The machine's files -----------------------------------------------------------------------

class PosixFilesTest : public ::testing::Test {
protected:
    PosixFilesTest() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        m_directory = std::filesystem::temp_directory_path() /
                      ("ql-files-" + std::string(test->name()) + "-" + std::to_string(stamp));
        std::filesystem::create_directories(m_directory);
    }
    ~PosixFilesTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_directory, ignored);
    }

    std::u16string PathOf(const std::u16string& name) const {
        return platform::FromUtf8(m_directory.string()) + u"/" + name;
    }
    std::filesystem::path NativeOf(const std::u16string& name) const {
        return m_directory / platform::ToUtf8(name);
    }
    static bool WriteAll(platform::File& file, const Bytes& bytes) {
        return file.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size())) == bytes.size();
    }

    platform::FileSystem& files = platform::SystemFiles();
    std::filesystem::path m_directory;
};

TEST_F(PosixFilesTest, WrittenFile_ReadsBackWithItsSizeAndIsGoneAfterDelete) {
    const auto path = PathOf(u"image.qfu");
    Bytes data(200000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    {
        auto out = files.CreateForWriting(path);
        ASSERT_NE(out, nullptr);
        EXPECT_TRUE(WriteAll(*out, data));
    }
    auto in = files.OpenForReading(path);
    ASSERT_NE(in, nullptr);
    std::uint64_t size = 0;
    ASSERT_TRUE(in->Size(size));
    EXPECT_EQ(size, data.size());
    Bytes back(data.size() + 10);
    EXPECT_EQ(in->Read(back.data(), static_cast<std::uint32_t>(back.size())), data.size());
    back.resize(data.size());
    EXPECT_EQ(back, data);
    EXPECT_EQ(in->Read(back.data(), 1), 0u) << "at the end of the file";
    in.reset();

    EXPECT_TRUE(files.Delete(path));
    EXPECT_FALSE(std::filesystem::exists(NativeOf(u"image.qfu")));
    EXPECT_FALSE(files.Delete(path)) << "nothing left to delete";
}

TEST_F(PosixFilesTest, CreateForWriting_ReplacesAnExistingFile) {
    const auto path = PathOf(u"image.qfu");
    ASSERT_TRUE(WriteAll(*files.CreateForWriting(path), Bytes(50, 0xEE)));
    {
        auto out = files.CreateForWriting(path);
        ASSERT_NE(out, nullptr);
        EXPECT_TRUE(WriteAll(*out, {1, 2, 3}));
    }
    EXPECT_EQ(FileBytes(NativeOf(u"image.qfu")), Bytes({1, 2, 3}));
}

TEST_F(PosixFilesTest, MissingFileOrDirectory_CannotBeOpened) {
    EXPECT_EQ(files.OpenForReading(PathOf(u"missing.qfu")), nullptr);
    EXPECT_FALSE(std::filesystem::exists(NativeOf(u"missing.qfu"))) << "reading creates nothing";
    EXPECT_EQ(files.CreateForWriting(PathOf(u"no-such-directory/image.qfu")), nullptr);
    EXPECT_EQ(files.CreateForWriting(u""), nullptr);
    EXPECT_EQ(files.OpenForReading(std::u16string_view(u"x\0y", 3)), nullptr);
}

// While a file is held one way, may it be taken another way? A refused writer must not empty it.
TEST_F(PosixFilesTest, Sharing_WritingIsExclusiveAndReadingIsShared) {
    enum class Use { Write, Read };
    struct Case {
        const char* name;
        Use first;
        Use second;
        bool allowed;
    };
    const Case cases[] = {
        {"WriterThenWriter", Use::Write, Use::Write, false},
        {"WriterThenReader", Use::Write, Use::Read, false},
        {"ReaderThenWriter", Use::Read, Use::Write, false},
        {"ReaderThenReader", Use::Read, Use::Read, true},
    };
    const Bytes original = {9, 8, 7, 6, 5};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = PathOf(u"shared.qfu");
        ASSERT_TRUE(WriteAll(*files.CreateForWriting(path), original));
        auto take = [&](Use use) { return use == Use::Write ? files.CreateForWriting(path) : files.OpenForReading(path); };
        auto first = take(c.first);
        ASSERT_NE(first, nullptr);
        auto second = take(c.second);
        EXPECT_EQ(second != nullptr, c.allowed);
        // A writer made the file anew; under a reader it keeps its bytes, whatever was refused.
        EXPECT_EQ(FileBytes(NativeOf(u"shared.qfu")), c.first == Use::Write ? Bytes{} : original);
        second.reset();
        first.reset();
        EXPECT_NE(take(c.second), nullptr) << "free again once closed";
    }
}

TEST_F(PosixFilesTest, NonAsciiName_IsStoredAsUtf8) {
    const std::u16string name = u"K\u00F6rva \u0416 \u2713.qfu";
    ASSERT_TRUE(WriteAll(*files.CreateForWriting(PathOf(name)), {42}));
    EXPECT_EQ(FileBytes(m_directory / "K\xC3\xB6rva \xD0\x96 \xE2\x9C\x93.qfu"), Bytes({42}));
    EXPECT_NE(files.OpenForReading(PathOf(name)), nullptr);
    EXPECT_TRUE(files.Delete(PathOf(name)));
}

TEST(PosixFileSystemTest, ModulePath_NamesThisTestProgram) {
    auto& files = platform::SystemFiles();
    const std::filesystem::path path(platform::ToUtf8(files.ModulePath()));
    EXPECT_TRUE(path.is_absolute()) << path;
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
    EXPECT_EQ(path.filename(), "ql_unit_tests");
    EXPECT_EQ(files.PathSeparator(), u'/');
}

// --- The fake file system ----------------------------------------------------------------------

constexpr char16_t kOut[] = u"/data/out.bin";  // exists with 3 bytes, then is created and written
constexpr char16_t kIn[] = u"/data/in.bin";    // exists with 8 bytes, then is read and deleted

// What one fixed script of calls gave: create kOut and write 8 bytes, open kIn, take its size and
// read 8 bytes, delete kIn.
struct ScriptResult {
    bool created;
    std::uint32_t written;
    std::optional<Bytes> outAfterwards;
    bool opened;
    bool sized;
    std::uint32_t read;
    bool deleted;
    bool inAfterwards;
};

ScriptResult RunScript(FakeFileSystem& files) {
    files.Put(kOut, {0xA, 0xB, 0xC});
    files.Put(kIn, {1, 2, 3, 4, 5, 6, 7, 8});
    ScriptResult result{};
    if (auto out = files.CreateForWriting(kOut)) {
        result.created = true;
        const Bytes data = {10, 20, 30, 40, 50, 60, 70, 80};
        result.written = out->Write(data.data(), 4);
        result.written += out->Write(data.data() + 4, 4);
    }
    result.outAfterwards = files.Get(kOut);
    if (auto in = files.OpenForReading(kIn)) {
        result.opened = true;
        std::uint64_t size = 0;
        result.sized = in->Size(size) && size == 8;
        Bytes buffer(8);
        result.read = in->Read(buffer.data(), 8);
    }
    result.deleted = files.Delete(kIn);
    result.inAfterwards = files.Exists(kIn);
    return result;
}

void ExpectSame(const ScriptResult& got, const ScriptResult& want) {
    EXPECT_EQ(got.created, want.created);
    EXPECT_EQ(got.written, want.written);
    EXPECT_EQ(got.outAfterwards, want.outAfterwards);
    EXPECT_EQ(got.opened, want.opened);
    EXPECT_EQ(got.sized, want.sized);
    EXPECT_EQ(got.read, want.read);
    EXPECT_EQ(got.deleted, want.deleted);
    EXPECT_EQ(got.inAfterwards, want.inAfterwards);
}

const Bytes kWritten = {10, 20, 30, 40, 50, 60, 70, 80};
const ScriptResult kNoFault{true, 8, kWritten, true, true, 8, true, false};

// Each switch, for every path and for the path it concerns: that one step fails as named and
// the rest goes on. Switched for another path only, it changes nothing.
TEST(FakeFileSystemTest, FaultSwitches_FailTheirStepOnly) {
    struct Case {
        const char* name;
        FileFault fault;
        const char16_t* concerns;
        ScriptResult want;
    };
    const Case cases[] = {
        {"CreateFails", FileFault::CreateFails, kOut, {false, 0, Bytes{0xA, 0xB, 0xC}, true, true, 8, true, false}},
        {"WriteFails", FileFault::WriteFails, kOut, {true, 0, Bytes{}, true, true, 8, true, false}},
        {"WriteShort", FileFault::WriteShort, kOut, {true, 4, Bytes{10, 20, 50, 60}, true, true, 8, true, false}},
        {"OpenFails", FileFault::OpenFails, kIn, {true, 8, kWritten, false, false, 0, true, false}},
        {"SizeFails", FileFault::SizeFails, kIn, {true, 8, kWritten, true, false, 8, true, false}},
        {"ReadShort", FileFault::ReadShort, kIn, {true, 8, kWritten, true, true, 4, true, false}},
        {"DeleteFails", FileFault::DeleteFails, kIn, {true, 8, kWritten, true, true, 8, false, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            FakeFileSystem everywhere;
            everywhere.Set(c.fault);
            ExpectSame(RunScript(everywhere), c.want);
        }
        {
            FakeFileSystem onePath;
            onePath.SetForPath(c.fault, c.concerns);
            ExpectSame(RunScript(onePath), c.want);
        }
        {
            FakeFileSystem elsewhere;
            elsewhere.SetForPath(c.fault, u"/data/other.bin");
            ExpectSame(RunScript(elsewhere), kNoFault);
        }
        {
            FakeFileSystem switchedOff;
            switchedOff.Set(c.fault);
            switchedOff.Set(c.fault, false);
            ExpectSame(RunScript(switchedOff), kNoFault);
        }
    }
}

TEST(FakeFileSystemTest, Sharing_LikeTheMachinesFiles) {
    FakeFileSystem files;
    files.Put(kIn, {1, 2, 3});
    {
        auto writer = files.CreateForWriting(kOut);
        ASSERT_NE(writer, nullptr);
        EXPECT_EQ(files.CreateForWriting(kOut), nullptr);
        EXPECT_EQ(files.OpenForReading(kOut), nullptr);
        EXPECT_EQ(files.OpenFiles(), 1);
    }
    auto reader = files.OpenForReading(kIn);
    auto secondReader = files.OpenForReading(kIn);
    EXPECT_NE(secondReader, nullptr);
    EXPECT_EQ(files.CreateForWriting(kIn), nullptr);
    EXPECT_EQ(files.Get(kIn), Bytes({1, 2, 3})) << "a refused writer empties nothing";
    EXPECT_EQ(files.OpenFiles(), 2);

    // Deleting a file that is open takes its name; the open file still reads its bytes.
    EXPECT_TRUE(files.Delete(kIn));
    EXPECT_FALSE(files.Exists(kIn));
    Bytes back(3);
    EXPECT_EQ(reader->Read(back.data(), 3), 3u);
    EXPECT_EQ(back, Bytes({1, 2, 3}));
    EXPECT_EQ(files.OpenForReading(kIn), nullptr);
    reader.reset();
    secondReader.reset();
    EXPECT_EQ(files.OpenFiles(), 0);
}

TEST(FakeFileSystemTest, Calls_AreRecordedInOrderWithTheirOutcome) {
    FakeFileSystem files;
    files.SetForPath(FileFault::OpenFails, kIn);
    files.CreateForWriting(kOut);
    files.OpenForReading(kOut);
    files.OpenForReading(kIn);
    files.Delete(kOut);
    files.Delete(kOut);
    EXPECT_THAT(files.Events(), ElementsAre(FileEvent{FileOperation::Create, kOut, true},
                                            FileEvent{FileOperation::Open, kOut, true},
                                            FileEvent{FileOperation::Open, kIn, false},
                                            FileEvent{FileOperation::Delete, kOut, true},
                                            FileEvent{FileOperation::Delete, kOut, false}));
    EXPECT_THAT(files.Journal(), ElementsAre(std::u16string(u"create ") + kOut, std::u16string(u"open ") + kOut,
                                             std::u16string(u"open ") + kIn, std::u16string(u"delete ") + kOut,
                                             std::u16string(u"delete ") + kOut));
    EXPECT_THAT(files.Opened(), ElementsAre(kOut, kIn));
}

TEST(FakeResourcesTest, HoldsOnlyWhatWasPut) {
    platform::sim::FakeResources resources;
    EXPECT_FALSE(resources.Find(u"FW", 136).has_value()) << "none by default";
    resources.Put(u"PNG", 141, {0x89, 0x50});
    resources.Put(u"PNG", 141, {0x89, 0x50, 0x4E});
    const auto found = resources.Find(u"PNG", 141);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(Bytes(found->begin(), found->end()), Bytes({0x89, 0x50, 0x4E}));
    EXPECT_FALSE(resources.Find(u"PNG", 142).has_value());
    EXPECT_FALSE(resources.Find(u"png", 141).has_value());
    resources.Remove(u"PNG", 141);
    EXPECT_FALSE(resources.Find(u"PNG", 141).has_value());
    EXPECT_EQ(resources.Lookups().size(), 5u);
    EXPECT_EQ(resources.Lookups().front(), std::make_pair(std::u16string(u"FW"), std::uint16_t{136}));
}

}  // namespace
