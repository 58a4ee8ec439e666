// SPDX-License-Identifier: MIT
// The external converter: started without a shell, and its exchange files.
#include "apertures/aperture_converter.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/errors.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

namespace fs = std::filesystem;

// A stand-in converter: records its arguments, one a line, in args.txt of
// its working directory and copies apert.txt to apert.env.
fs::path fakeConverter(bool writesOutput = true) {
  fs::path dir = test::tempDir();
  fs::path program = dir / "aptConv";
  test::writeFile(program,
                  std::string("#!/bin/sh\n"
                              "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > args.txt\n") +
                      (writesOutput ? "[ ! -f apert.txt ] || cp apert.txt apert.env\n" : ""));
  fs::permissions(program, fs::perms::owner_all);
  return dir;
}

// An aperture list of another program, to be converted.
std::string foreignList(const std::string& text) {
  std::string source = (test::tempDir() / "board.xyz").string();
  test::writeFile(source, text);
  return source;
}

TEST(ApertureConverterTest, ArgumentsArePassedAsTheyAreWithoutAShell) {
  fs::path programDir = fakeConverter();
  fs::path work = test::tempDir();
  std::string tricky = "board list; touch injected $(echo x) *.apl";
  EXPECT_EQ(startConverter(programDir, {tricky, "second"}, work).wait(), 0);
  EXPECT_EQ(test::readFile(work / "args.txt"), tricky + "\nsecond\n");
  EXPECT_FALSE(fs::exists(work / "injected"));
}

TEST(ApertureConverterTest, ImportThroughTheConverter) {
  fs::path programDir = fakeConverter();
  fs::path work = test::tempDir();
  std::string source = foreignList("10 0 0.01 0.01\r\n");
  test::writeFile(work / "apert.env", "stale");
  EXPECT_EQ(beginExternalConversion(source, programDir, work).wait(), 0);
  EXPECT_EQ(test::readFile(work / "args.txt"), "apert.txt\n");
  std::string target = source + ".Env";
  finishExternalConversion(target, work);
  EXPECT_EQ(test::readFile(target), "10 0 0.01 0.01\r\n");
}

TEST(ApertureConverterTest, ConverterThatWritesNothingAttachesNothingStale) {
  fs::path programDir = fakeConverter(false);
  fs::path work = test::tempDir();
  std::string source = foreignList("list");
  std::string target = source + ".Env";
  test::writeFile(target, "from an earlier import");
  test::writeFile(work / "apert.env", "from an earlier run");
  beginExternalConversion(source, programDir, work).wait();
  EXPECT_THROW(finishExternalConversion(target, work), IoError);
  EXPECT_EQ(test::readFile(target), "from an earlier import");
}

TEST(ApertureConverterTest, MissingConverterIsAClearErrorAndTouchesNothing) {
  fs::path emptyDir = test::tempDir();
  fs::path work = test::tempDir();
  test::expectError<IoError>(
      [&] { beginExternalConversion(foreignList("list"), emptyDir, work); },
      (emptyDir / "aptConv").string() + ": the aperture converter is missing");
  EXPECT_TRUE(fs::is_empty(work));
  EXPECT_THROW(startConverter(emptyDir, {"x"}), IoError);
}

}  // namespace
}  // namespace drumplot
