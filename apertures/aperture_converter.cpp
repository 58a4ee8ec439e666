// SPDX-License-Identifier: MIT
// Starting the external aperture converter and exchanging files with it.
#include "apertures/aperture_converter.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>

#include "apertures/aperture_file.h"
#include "engine/errors.h"
#include "io/file_io.h"

extern char** environ;

namespace drumplot {

// ConverterProcess - Starting and reaping
// ============================================================================

std::filesystem::path programDirectory() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path() : exe.parent_path();
}

ConverterProcess::~ConverterProcess() {
  if (pid_ <= 0) return;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == 0) {
    // Still running: the user may go on before it ends.
    std::thread([pid = pid_] {
      int ignored = 0;
      ::waitpid(pid, &ignored, 0);
    }).detach();
  }
}

int ConverterProcess::wait() {
  if (pid_ <= 0) return -1;
  int status = 0;
  pid_t done;
  do {
    done = ::waitpid(pid_, &status, 0);
  } while (done < 0 && errno == EINTR);
  pid_ = -1;
  if (done < 0 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

namespace {

// The converter beside the executable; a clear error when it is not there.
std::filesystem::path requireConverter(const std::filesystem::path& programDir) {
  std::filesystem::path program = programDir / kConverterProgram;
  if (::access(program.c_str(), X_OK) != 0) {
    throw IoError(program.string() +
                  ": the aperture converter is missing or not executable; nothing was converted");
  }
  return program;
}

}  // namespace

ConverterProcess startConverter(const std::filesystem::path& programDir,
                                const std::vector<std::string>& arguments,
                                const std::filesystem::path& workDir) {
  std::filesystem::path program = requireConverter(programDir);
  std::vector<std::string> argv{program.string()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<char*> args;
  for (std::string& a : argv) args.push_back(a.data());
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!workDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
  pid_t pid = -1;
  int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    throw IoError("cannot start the aperture converter " + program.string() + ": " +
                  std::strerror(error));
  }
  return ConverterProcess(pid);
}

// ConverterProcess - The import's exchange files
// ============================================================================

namespace {

std::filesystem::path inWorkDir(const std::filesystem::path& workDir, const char* name) {
  return workDir.empty() ? std::filesystem::path(name) : workDir / name;
}

}  // namespace

ConverterProcess beginExternalConversion(const std::string& source,
                                         const std::filesystem::path& programDir,
                                         const std::filesystem::path& workDir) {
  requireConverter(programDir);
  writeFileAtomically(inWorkDir(workDir, kConverterInput), readFileBytes(source));
  std::error_code ignored;
  std::filesystem::remove(inWorkDir(workDir, kConverterOutput), ignored);
  return startConverter(programDir, {kConverterInput}, workDir);
}

void finishExternalConversion(const std::string& target, const std::filesystem::path& workDir) {
  std::filesystem::path output = inWorkDir(workDir, kConverterOutput);
  if (!std::filesystem::exists(output)) {
    throw IoError(output.string() +
                  ": the aperture converter wrote no such file; no aperture file attached");
  }
  // What the converter wrote is attached only when it reads as an aperture file.
  std::string converted = readFileBytes(output);
  ApertureTable scratch;
  loadApertureText(converted, scratch, output.string());
  writeFileAtomically(target, converted);
}

}  // namespace drumplot
