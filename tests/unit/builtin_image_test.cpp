// Loading the image built into the program through a temporary file beside the executable, or
// straight from memory when that file cannot be made.
#include "platform/resources.h"
#include "platform/sim/fake_files.h"
#include "platform/sim/fake_resources.h"
#include "support/link_fixture.h"

#include <gmock/gmock.h>

using namespace testing_support;
using platform::sim::FileFault;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr char16_t kTempPath[] = u"/opt/quelolink/bin/Korva_PCU_A16.qfu";

Bytes EmbeddedImage() {
    auto resource = platform::ProgramResources().Find(u"FW", 136);
    return resource ? Bytes(resource->begin(), resource->end()) : Bytes{};
}

class BuiltInImageTest : public LinkFixture {
protected:
    BuiltInImageTest() : fixtureLink(MakeLink()) { AttachTo(*fixtureLink); }

    std::unique_ptr<ESCLink> MakeLink() {
        resources.Put(u"FW", 136, EmbeddedImage());
        platform::Services services{&clock, &serial, &hid, &threads, &files, &resources};
        return std::make_unique<ESCLink>(services);
    }
    void AttachTo(ESCLink& target) {
        target.m_pStatusLog = &statusLog;
        target.m_hMainWnd = &window;
    }

    platform::sim::FakeFileSystem files;
    platform::sim::FakeResources resources;
    std::unique_ptr<ESCLink> fixtureLink;
};

TEST_F(BuiltInImageTest, LoadsFiveBlocksThroughATemporaryFileThatIsGoneAfterwards) {
    fixtureLink->LoadBuiltInImage();
    EXPECT_EQ(fixtureLink->m_blockSize, 516);
    EXPECT_EQ(fixtureLink->m_imageLength, 2580);
    EXPECT_THAT(statusLog.Lines(), ElementsAre(u"Upgrade file selected."));
    EXPECT_THAT(files.Journal(), ElementsAre(std::u16string(u"create ") + kTempPath,
                                             std::u16string(u"open ") + kTempPath,
                                             std::u16string(u"delete ") + kTempPath));
    EXPECT_FALSE(files.Exists(kTempPath));
    const auto image = EmbeddedImage();
    EXPECT_EQ(Bytes(fixtureLink->m_pImage.get(), fixtureLink->m_pImage.get() + 2580), Bytes(image.begin() + 9, image.end()));
}

TEST_F(BuiltInImageTest, DirectoryNotWritable_LoadsTheImageFromTheProgramItself) {
    for (auto fault : {FileFault::CreateFails, FileFault::WriteFails}) {
        platform::sim::FakeFileSystem readOnly;
        readOnly.Set(fault);
        readOnly.Put(kTempPath, {0x04, 0x00, 0x04, 0x00, 1, 2, 3, 4});  // a stale file of that name
        platform::Services services{&clock, &serial, &hid, &threads, &readOnly, &resources};
        ESCLink link(services);
        link.LoadBuiltInImage();
        EXPECT_EQ(link.m_blockSize, 516);
        EXPECT_EQ(link.m_imageLength, 2580);
    }
}

TEST_F(BuiltInImageTest, ResourceMissing_LoadsAFileOfThatNameIfThereIsOne) {
    platform::sim::FakeResources none;
    files.Put(kTempPath, {0x04, 0x00, 0x04, 0x00, 1, 2, 3, 4});
    platform::Services services{&clock, &serial, &hid, &threads, &files, &none};
    ESCLink link(services);
    link.LoadBuiltInImage();
    EXPECT_EQ(link.m_blockSize, 4);
    EXPECT_EQ(link.m_imageLength, 4);
    EXPECT_FALSE(files.Exists(kTempPath));  // its deletion is attempted as always
}

TEST_F(BuiltInImageTest, NothingReadable_LeavesNoImageAndLogsNothing) {
    platform::sim::FakeResources none;
    platform::Services services{&clock, &serial, &hid, &threads, &files, &none};
    ESCLink link(services);
    link.m_pStatusLog = &statusLog;
    link.LoadBuiltInImage();
    EXPECT_EQ(link.m_pImage, nullptr);
    EXPECT_THAT(statusLog.Lines(), IsEmpty());
}

TEST_F(BuiltInImageTest, ExecutableWithoutDirectory_PutsTheFileBesideIt) {
    platform::sim::FakeFileSystem bare(u"quelolink");
    platform::Services services{&clock, &serial, &hid, &threads, &bare, &resources};
    ESCLink link(services);
    link.LoadBuiltInImage();
    EXPECT_EQ(bare.Journal().front(), u"create quelolink/Korva_PCU_A16.qfu");
}

}  // namespace
