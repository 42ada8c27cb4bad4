// The save and open steps of READ and WRITE, and loading with 0xFF fill.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "app/image_files.h"
#include "app/operation.h"
#include "tests/support/fixture.h"

namespace zjig::test {
namespace {

struct Files : SimProgram {
    Files() { EXPECT_TRUE(OpenJigLink(p(), false)); }
    std::vector<uint8_t> Sent() { return jig->Serial()->HostWrittenLog(); }
};

TEST(ChooseSaveFile, CreatesTheFileAndKeepsItOpen) {
    Files f;
    f.dir.Write("ENE_old.bin", std::string(1000, 'x'));
    f.ui.AnswerSave((f.dir / "ENE_old.bin").string());
    ASSERT_TRUE(ChooseSaveFile(f.p(), "ENE_", ".bin", kEneFilter));
    auto dialogs = f.ui.Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].title, "Save file");
    EXPECT_EQ(dialogs[0].initialName, "ENE_");
    EXPECT_EQ(dialogs[0].defaultExt, ".bin");
    EXPECT_EQ(dialogs[0].filter, "BIN file ENE (*.bin)|*.bin|other|*.*");
    EXPECT_EQ(f.p().files.ImageFileName, (f.dir / "ENE_old.bin").string());
    EXPECT_TRUE(f.p().link.isOpen);
    const uint8_t block[3] = {1, 2, 3};
    ASSERT_TRUE(WriteImageFile(f.p(), block, 3));
    CloseImageFile(f.p());
    EXPECT_EQ(f.dir.Read("ENE_old.bin"), Bytes({1, 2, 3}));  // replaced, not appended to
}

TEST(FileSteps, FailuresReportCloseTheLinkAndStartNothing) {
    struct Case {
        const char* what;
        bool save;
        bool cancel;
        const char* message;
        bool spiOn;  // "SPI_ON" sent before closing
    };
    const std::vector<Case> cases = {
        {"save cancelled", true, true, "Write to file is interrupted.\n", false},
        {"file cannot be created", true, false, "Error create file.\n", true},
        {"open cancelled", false, true, "Write operation is interrupted.\n", false},
        {"file cannot be opened", false, false, "Error open file!\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Files f;
        f.jig->Serial()->ClearHostWrittenLog();
        const std::string path = (f.dir / "missing-folder" / "x.bin").string();
        if (!c.cancel) (c.save ? f.ui.AnswerSave(path) : f.ui.AnswerOpen(path));
        BeginOperation(f.p());
        bool ok = c.save ? ChooseSaveFile(f.p(), "ENE_", ".bin", kEneFilter)
                         : ChooseOpenFile(f.p(), "", ".bin", kEneFilter);
        EXPECT_FALSE(ok);
        EXPECT_EQ(f.ui.LogText(colors::Red), c.message);
        EXPECT_FALSE(f.p().link.isOpen);
        EXPECT_EQ(f.p().files.ImageFile, -1);
        EXPECT_EQ(f.p().op.outcome, Outcome::Failed);
        EXPECT_EQ(f.Sent(), c.spiOn ? Bytes({'J', 'S'}) : Bytes({}));
        EXPECT_TRUE(f.p().CurrentJob.Is("NONE"));
        // A cancelled save leaves no file behind.
        EXPECT_TRUE(std::filesystem::is_empty(f.dir.Path()));
    }
}

TEST(ChooseFile, AFileHeldByAnotherProgramIsRefusedAndLeftIntact) {
    Files f;
    f.dir.Write("locked.bin", std::string("keep"));
    int other = ::open((f.dir / "locked.bin").c_str(), O_RDONLY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    f.ui.AnswerOpen((f.dir / "locked.bin").string());
    EXPECT_FALSE(ChooseOpenFile(f.p(), "", ".bin", kEneFilter));
    EXPECT_TRUE(f.ui.HasEntry("Error open file!\n", colors::Red));
    ASSERT_TRUE(OpenJigLink(f.p(), false));
    f.ui.AnswerSave((f.dir / "locked.bin").string());
    EXPECT_FALSE(ChooseSaveFile(f.p(), "ENE_", ".bin", kEneFilter));
    EXPECT_TRUE(f.ui.HasEntry("Error create file.\n", colors::Red));
    ::close(other);
    EXPECT_EQ(f.dir.Read("locked.bin"), Bytes({'k', 'e', 'e', 'p'}));
}

TEST(LoadImageFile, FillsWithFFAndCutsAtTheImageSize) {
    struct Case {
        size_t fileSize, imageSize, expectCount;
    };
    for (auto c : {Case{0, 256, 0}, Case{128, 256, 128}, Case{256, 256, 256}, Case{300, 256, 256},
                   Case{65536, 131072, 65536}, Case{140000, 131072, 131072}}) {
        SCOPED_TRACE(c.fileSize);
        Files f;
        std::vector<uint8_t> content(c.fileSize);
        for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>(i * 7 + 1);
        f.dir.Write("in.bin", content);
        f.ui.AnswerOpen((f.dir / "in.bin").string());
        ASSERT_TRUE(ChooseOpenFile(f.p(), "", ".bin", kEneFilter));
        std::vector<uint8_t> image(c.imageSize, 0x00);
        EXPECT_EQ(LoadImageFile(f.p(), image.data(), image.size()), c.expectCount);
        EXPECT_EQ(f.p().files.ImageFile, -1);  // closed right after loading
        for (size_t i = 0; i < image.size(); ++i) {
            uint8_t want = i < c.expectCount ? content[i] : 0xFF;
            ASSERT_EQ(image[i], want) << "offset " << i;
        }
    }
}

}  // namespace
}  // namespace zjig::test
