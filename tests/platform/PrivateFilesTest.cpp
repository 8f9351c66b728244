// The files that may hold a logger's password: created new and their owner's
// only whatever the umask, never one that exists (nor a FIFO, which would
// wait for a reader), and never left ending in part of a record when the disk
// fills up or the file-size limit is reached.
#include "platform/PrivateFiles.h"
#include "tests/support/ScratchFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <future>
#include <string>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

namespace korvel::platform {
namespace {

using namespace std::chrono_literals;
using korvel::testing::InChildProcess;
using korvel::testing::ModeOf;
using korvel::testing::ReadText;
using korvel::testing::ScopedUmask;
using korvel::testing::ScratchFolder;
using protocol::Failure;

// The child's answer when the system gives it no tmpfs of its own.
constexpr int kNoTmpfs = 77;

TEST(PrivateFiles, ANewFileIsItsOwnersOnlyAndNeverOneThatExists) {
    const ScopedUmask umask(022);
    const ScratchFolder folder;
    const std::string path = folder.Path("batch.csv");
    auto created = CreateNewFile(path);
    ASSERT_TRUE(created) << created.failure().message;
    const std::unique_ptr<NewFile> file = std::move(created).take();
    EXPECT_EQ(ModeOf(path), 0600);
    EXPECT_TRUE(file->Append("first row\n"));
    EXPECT_TRUE(file->Append("second row\n"));
    EXPECT_TRUE(file->Sync());
    EXPECT_EQ(ReadText(path), "first row\nsecond row\n");

    // What exists is never opened: a file, a folder, a link (not even one to
    // nothing, which would create its target).
    std::filesystem::create_directory(folder.Path("folder"));
    std::filesystem::create_symlink(folder.Path("target.csv"), folder.Path("link.csv"));
    for (const std::string& taken : {path, folder.Path("folder"), folder.Path("link.csv")}) {
        const auto again = CreateNewFile(taken);
        ASSERT_FALSE(again) << taken;
        EXPECT_EQ(again.failure().kind, Failure::Kind::Invalid) << taken;
        EXPECT_EQ(again.failure().message, "exists") << taken;
    }
    EXPECT_EQ(ReadText(path), "first row\nsecond row\n");
    EXPECT_FALSE(std::filesystem::exists(folder.Path("target.csv")));

    const auto nowhere = CreateNewFile(folder.Path("missing/batch.csv"));
    ASSERT_FALSE(nowhere);
    EXPECT_EQ(nowhere.failure().kind, Failure::Kind::System);
    EXPECT_EQ(nowhere.failure().message, "No such file or directory");
}

TEST(PrivateFiles, AFifoIsRefusedWithoutWaitingForAReader) {
    const ScratchFolder folder;
    const std::string fifo = folder.Path("trace.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto opening = std::async(std::launch::async, [&] { return CreateNewFile(fifo); });
    if (opening.wait_for(5s) != std::future_status::ready) {
        // A reader lets the open go, so that the test ends.
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        opening.wait();
        ::close(reader);
        FAIL() << "opening a FIFO waited for a reader";
    }
    const auto opened = opening.get();
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.failure().message, "exists");
}

// The kernel's file-size limit cuts the second record's write short, then
// refuses the rest: the file goes back to the first record, and a record
// that fits is still appended after it.
TEST(PrivateFiles, AFailedAppendLeavesNoPartOfTheRecord) {
    const ScratchFolder folder;
    const std::string path = folder.Path("batch.csv");
    const std::string first(59, 'a');
    const std::string second(59, 'b');
    const std::string third(30, 'c');
    const int result = InChildProcess([&] {
        const rlimit limit{100, 100};
        std::signal(SIGXFSZ, SIG_IGN);
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return 10;
        }
        auto created = CreateNewFile(path);
        if (!created) {
            return 11;
        }
        const std::unique_ptr<NewFile> file = std::move(created).take();
        if (!file->Append(first + "\n")) {
            return 12;
        }
        const auto cut = file->Append(second + "\n");
        if (cut || cut.failure().message != "File too large") {
            return 13;
        }
        return file->Append(third + "\n") && file->Sync() ? 0 : 14;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadText(path), first + "\n" + third + "\n");
}

// A real full file system: a tmpfs of 8 KiB in a mount namespace of the
// child's own. Needs root (CAP_SYS_ADMIN); skipped without it.
TEST(PrivateFiles, AFullFileSystemLeavesOnlyWholeRecords) {
    const ScratchFolder folder;
    const std::string mounted = folder.Path("small");
    std::filesystem::create_directory(mounted);
    const std::string path = mounted + "/batch.csv";
    const std::string record = std::string(299, 'r') + "\n";
    constexpr int kAppended = 100;
    const int result = InChildProcess([&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("korvel-test", mounted.c_str(), "tmpfs", 0, "size=8k") != 0) {
            return kNoTmpfs;
        }
        auto created = CreateNewFile(path);
        if (!created) {
            return 20;
        }
        const std::unique_ptr<NewFile> file = std::move(created).take();
        int whole = 0;
        for (; whole < kAppended; ++whole) {
            const auto appended = file->Append(record);
            if (!appended) {
                if (appended.failure().message != "No space left on device") {
                    return 21;
                }
                break;
            }
        }
        if (whole == 0 || whole == kAppended) {
            return 22; // the disk never filled up, or took nothing
        }
        // The file holds the whole records and nothing of the one refused.
        const std::string text = ReadText(path);
        if (text.size() != record.size() * static_cast<std::size_t>(whole)) {
            return 23;
        }
        return text.find_first_not_of("r\n") == std::string::npos ? 0 : 24;
    });
    if (result == kNoTmpfs) {
        GTEST_SKIP() << "no tmpfs of the test's own here (it needs root)";
    }
    EXPECT_EQ(result, 0);
}

TEST(PrivateFiles, FoldersMadeHereAreTheOwnersOnly) {
    const ScopedUmask umask(022);
    const ScratchFolder folder;
    std::filesystem::permissions(folder.path(), std::filesystem::perms(0755));
    const std::string deepest = folder.Path("share/korvel/more");
    EXPECT_TRUE(CreatePrivateFolders(deepest));
    EXPECT_EQ(ModeOf(folder.Path("share")), 0700);
    EXPECT_EQ(ModeOf(folder.Path("share/korvel")), 0700);
    EXPECT_EQ(ModeOf(deepest), 0700);
    // One that exists keeps its mode.
    EXPECT_EQ(ModeOf(folder.path().string()), 0755);
    std::filesystem::permissions(folder.Path("share"), std::filesystem::perms(0755));
    EXPECT_TRUE(CreatePrivateFolders(deepest));
    EXPECT_EQ(ModeOf(folder.Path("share")), 0755);

    folder.Write("file", "");
    EXPECT_FALSE(CreatePrivateFolders(folder.Path("file/below")));
}

TEST(PrivateFiles, APrivateFileIsMadeOnlyWhereNothingIs) {
    const ScopedUmask umask(022);
    const ScratchFolder folder;
    const std::string path = folder.Path("history.sqlite3");
    EXPECT_TRUE(CreatePrivateFile(path));
    EXPECT_EQ(ModeOf(path), 0600);
    EXPECT_EQ(ReadText(path), "");

    const std::string kept = folder.Write("kept.sqlite3", "rows");
    std::filesystem::permissions(kept, std::filesystem::perms(0644));
    EXPECT_TRUE(CreatePrivateFile(kept));
    EXPECT_EQ(ModeOf(kept), 0644);
    EXPECT_EQ(ReadText(kept), "rows");
    EXPECT_FALSE(CreatePrivateFile(folder.Path("missing/history.sqlite3")));
}

} // namespace
} // namespace korvel::platform
