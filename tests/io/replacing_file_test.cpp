// SPDX-License-Identifier: MIT
// The one way files are written: the old file kept until the new one is
// complete, permissions kept, links followed, read-only files refused,
// nothing left behind (not even by a killed run); and the edit lock.
#include "io/replacing_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <set>
#include <string>

#include "io/file_io.h"
#include "io/file_lock.h"
#include "io/io_error.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

namespace fs = std::filesystem;

std::set<std::string> entries(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

fs::perms permissions(const fs::path& file) {
  return fs::status(file).permissions() & fs::perms::all;
}

// A PID no process has: PIDs stay below pid_max.
long deadPid() {
  long pidMax = 0;
  std::ifstream("/proc/sys/kernel/pid_max") >> pidMax;
  return pidMax > 0 ? pidMax : 4194304;
}

// A failed write is latched: the file takes nothing more and is never
// committed, whatever comes after.
TEST(ReplacingFileTest, WriteAtFillsAKeptPlaceAndAFailedWriteIsNeverCommitted) {
  const fs::path target = test::tempDir() / "kept.fpf";
  test::writeFile(target, "older");
  ReplacingFile file(target);
  const uint8_t head[] = {'H', '.', '.', '.', 'T'};
  file.write(head);
  const uint8_t middle[] = {'a', 'b', 'c'};
  file.writeAt(1, middle);
  EXPECT_EQ(file.bytesWritten(), 5u);
  auto failure = [](const std::function<void()>& call) -> std::string {
    try {
      call();
    } catch (const IoError& e) {
      return e.what();
    }
    return "no error";
  };
  const std::string first = failure([&] { file.writeAt(3, middle); });  // past the bytes written
  EXPECT_EQ(first.rfind(target.string() + ": write error", 0), 0u) << first;
  EXPECT_EQ(failure([&] { file.write(head); }), first);
  EXPECT_EQ(failure([&] { file.writeAt(0, head); }), first);
  EXPECT_EQ(failure([&] { file.commit(); }), first);
  EXPECT_EQ(file.bytesWritten(), 5u);
  EXPECT_EQ(test::readFile(target), "older");
}

TEST(ReplacingFileTest, OldFileStaysUntilCommitKeepsItsPermissionsAndNothingIsLeft) {
  const fs::path dir = test::tempDir();
  const fs::path target = dir / "job.wpr";
  test::writeFile(target, "old");
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  {
    ReplacingFile abandoned(target);  // a failed or cancelled write
    abandoned.write({reinterpret_cast<const uint8_t*>("new"), 3});
    EXPECT_EQ(entries(dir).size(), 2u);  // the target and one temporary file
  }
  EXPECT_EQ(test::readFile(target), "old");
  writeFileAtomically(target, "new");
  EXPECT_EQ(test::readFile(target), "new");
  EXPECT_EQ(permissions(target),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  // A new file gets the usual permissions (umask), not the temporary file's.
  const mode_t mask = ::umask(022);
  ::umask(mask);
  writeFileAtomically(dir / "new.wpr", "");
  EXPECT_EQ(permissions(dir / "new.wpr"), static_cast<fs::perms>(0666 & ~mask));
  EXPECT_EQ(entries(dir), (std::set<std::string>{"job.wpr", "new.wpr"}));
  // Two writers of one target at once get temporary files of their own.
  ReplacingFile first(target), second(target);
  EXPECT_EQ(entries(dir).size(), 4u);
}

TEST(ReplacingFileTest, WritesThroughLinksAndRefusesWhatItMayNotReplace) {
  const fs::path dir = test::tempDir();
  fs::create_directories(dir / "real");
  test::writeFile(dir / "real" / "t.fpf", "old");
  fs::create_symlink("real/t.fpf", dir / "link.fpf");
  writeFileAtomically(dir / "link.fpf", "new");
  EXPECT_TRUE(fs::is_symlink(dir / "link.fpf"));
  EXPECT_EQ(test::readFile(dir / "real" / "t.fpf"), "new");
  EXPECT_EQ(entries(dir / "real"), std::set<std::string>{"t.fpf"});

  fs::permissions(dir / "real" / "t.fpf", fs::perms::owner_read | fs::perms::group_read);
  for (const auto& refused : {std::pair{dir / "real" / "t.fpf", "the file is read-only"},
                              {dir / "link.fpf", "the file is read-only"},
                              {dir / "real", "not a regular file"}}) {
    test::expectError<IoError>(
        [&] { writeFileAtomically(refused.first, "replaced"); },
        refused.first.string() + ": " + refused.second + "; it is not replaced");
  }
  EXPECT_EQ(test::readFile(dir / "real" / "t.fpf"), "new");
}

TEST(ReplacingFileTest, TemporaryFilesOfDeadRunsGoWithTheNextWriteOfTheTarget) {
  const fs::path dir = test::tempDir();
  const std::string dead = std::to_string(deadPid()), alive = std::to_string(::getpid());
  const std::set<std::string> kept = {
      ".t.fpf." + alive + ".k3j9x0aa.tmp",  // a live run's
      ".t.fpf.5.x.y.tmp",                   // not of the form
      ".t.fpf.bak",
      ".u.fpf." + dead + ".k3j9x0aa.tmp",  // another target's
  };
  std::set<std::string> stale = {".t.fpf." + dead + ".k3j9x0aa.tmp",
                                 ".t.fpf." + dead + ".1.tmp"};  // as older runs named them
  for (const auto& names : {kept, stale}) {
    for (const std::string& name : names) test::writeFile(dir / name, "left");
  }
  writeFileAtomically(dir / "t.fpf", "new");
  std::set<std::string> expected = kept;
  expected.insert("t.fpf");
  EXPECT_EQ(entries(dir), expected);
}

TEST(FileLockTest, ASecondEditWaitsThenSaysTheFileIsBusy) {
  const fs::path file = test::tempDir() / "job.wpr";
  FileLock none(file, std::chrono::milliseconds(0));  // nothing to lock yet
  test::writeFile(file, "");
  {
    FileLock first(file, std::chrono::milliseconds(0));
    test::expectError<IoError>([&] { FileLock second(file, std::chrono::milliseconds(50)); },
                               file.string() + ": busy");
  }
  FileLock again(file, std::chrono::milliseconds(0));
}

}  // namespace
}  // namespace drumplot
