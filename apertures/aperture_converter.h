// SPDX-License-Identifier: MIT
// The external aperture converter aptConv: a separate program beside the
// executable, started with an argument list (no shell) and not waited for,
// and the exchange files "apert.txt" (its input) and "apert.env" (its output).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace drumplot {

inline constexpr const char* kConverterProgram = "aptConv";
inline constexpr const char* kConverterInput = "apert.txt";
inline constexpr const char* kConverterOutput = "apert.env";

// The folder of the running executable.
std::filesystem::path programDirectory();

// A started converter. Nothing here blocks unless asked to: a converter still
// running when its handle goes is reaped in the background.
class ConverterProcess {
 public:
  explicit ConverterProcess(pid_t pid) : pid_(pid) {}
  ConverterProcess(ConverterProcess&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }
  ConverterProcess& operator=(ConverterProcess&&) = delete;
  ConverterProcess(const ConverterProcess&) = delete;
  ConverterProcess& operator=(const ConverterProcess&) = delete;
  ~ConverterProcess();

  // Waits for the converter to end; its exit status, or -1 when a signal ended it.
  int wait();

 private:
  pid_t pid_;
};

// Starts programDir/aptConv with `arguments` in `workDir` (the current
// directory when empty). Throws IoError saying so when the converter is
// missing, not executable or cannot be started.
ConverterProcess startConverter(const std::filesystem::path& programDir,
                                const std::vector<std::string>& arguments,
                                const std::filesystem::path& workDir = {});

// The import through the converter, step 1: copies `source` to apert.txt in
// `workDir`, deletes apert.env and starts the converter on apert.txt. A
// missing converter throws before any file is touched.
ConverterProcess beginExternalConversion(const std::string& source,
                                         const std::filesystem::path& programDir,
                                         const std::filesystem::path& workDir = {});

// Step 2, once the user says the converter is done: copies apert.env to
// `target` (the import uses convertedApertureFileName(source)). Throws
// IoError when the converter left no apert.env, so that nothing stale is attached.
void finishExternalConversion(const std::string& target, const std::filesystem::path& workDir = {});

}  // namespace drumplot
