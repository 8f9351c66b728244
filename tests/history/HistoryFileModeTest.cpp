// The history holds the loggers' passwords (the blocks of every save): a file
// Korvel creates is its owner's only, and so is the data folder it creates,
// under the common umask 022. A file or folder that exists keeps its mode.
#include "history/HistoryStore.h"
#include "tests/history/HistoryFixture.h"
#include "tests/support/ScratchFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace korvel::history {
namespace {

using korvel::testing::ModeOf;
using korvel::testing::RawDatabase;
using korvel::testing::ScopedUmask;
using korvel::testing::TempFolder;

TEST(HistoryFileMode, ANewHistoryAndTheFoldersMadeForItAreTheOwnersOnly) {
    const ScopedUmask umask(022);
    const TempFolder folder;
    std::filesystem::permissions(folder / "", std::filesystem::perms(0755));
    const std::string path = folder / "share/korvel/history.sqlite3";
    {
        StoreOptions options;
        options.createFolder = true;
        auto opened = OpenHistoryStore(path, options);
        ASSERT_TRUE(opened) << opened.failure().message;
        const auto store = std::move(opened).take();
        SaveAttempt attempt;
        attempt.serialNumber = "T23110042";
        attempt.frame = std::vector<std::uint8_t>(210, 1);
        const auto recorded = store->RecordAttempt(attempt);
        ASSERT_TRUE(recorded) << recorded.failure().message;
    }
    EXPECT_EQ(ModeOf(path), 0600);
    EXPECT_EQ(ModeOf(folder / "share/korvel"), 0700);
    EXPECT_EQ(ModeOf(folder / "share"), 0700);
    EXPECT_EQ(ModeOf(folder / ""), 0755); // there before: kept

    // SQLite gives its journal the file's mode, in WAL mode too.
    RawDatabase raw(path);
    EXPECT_EQ(raw.Scalar("PRAGMA journal_mode=WAL"), "wal");
    raw.Exec("CREATE TABLE scratch(x)");
    EXPECT_EQ(ModeOf(path + "-wal"), 0600);
}

TEST(HistoryFileMode, AHistoryThatExistsKeepsItsMode) {
    const ScopedUmask umask(022);
    const TempFolder folder;
    const std::string path = folder / "history.sqlite3";
    ASSERT_TRUE(OpenHistoryStore(path, StoreOptions{}));
    std::filesystem::permissions(path, std::filesystem::perms(0640));
    ASSERT_TRUE(OpenHistoryStore(path, StoreOptions{}));
    EXPECT_EQ(ModeOf(path), 0640);
}

} // namespace
} // namespace korvel::history
