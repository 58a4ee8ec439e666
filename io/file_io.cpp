// SPDX-License-Identifier: MIT
// Whole-file reading, one-step replacing, file stamps and file identity.
#include "io/file_io.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "io/io_error.h"
#include "io/replacing_file.h"

namespace drumplot {

std::string readFileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw IoError(file.string() + ": cannot open: " + std::strerror(errno));
  std::string bytes;
  char block[1 << 16];
  while (in.read(block, sizeof block) || in.gcount() > 0) {
    bytes.append(block, static_cast<size_t>(in.gcount()));
  }
  if (in.bad()) throw IoError(file.string() + ": read error");
  return bytes;
}

void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
  ReplacingFile out(file);
  out.write({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  out.commit();
}

FileStamp fileStamp(const std::filesystem::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return {};
  return {true, static_cast<uint64_t>(st.st_ino), static_cast<uint64_t>(st.st_size),
          static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  const std::filesystem::path realA = replacedFile(a), realB = replacedFile(b);
  struct stat sa {};
  struct stat sb {};
  const bool existsA = ::stat(realA.c_str(), &sa) == 0;
  const bool existsB = ::stat(realB.c_str(), &sb) == 0;
  if (existsA || existsB)
    return existsA && existsB && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  // Neither exists yet: the folders' links resolved, the names compared.
  std::error_code ec;
  auto canonical = [&](const std::filesystem::path& p) {
    std::filesystem::path c =
        std::filesystem::weakly_canonical(std::filesystem::absolute(p, ec), ec);
    return ec ? std::filesystem::absolute(p, ec).lexically_normal() : c;
  };
  return canonical(realA) == canonical(realB);
}

void refuseSameFile(const std::vector<std::filesystem::path>& outputs) {
  for (size_t i = 0; i < outputs.size(); ++i) {
    for (size_t j = i + 1; j < outputs.size(); ++j) {
      if (sameFile(outputs[i], outputs[j])) {
        throw std::invalid_argument(outputs[i].string() + " and " + outputs[j].string() +
                                    " are the same file: one output would replace the other; "
                                    "nothing written");
      }
    }
  }
}

void refuseOverwritingInput(const std::vector<std::filesystem::path>& outputs,
                            const std::vector<std::filesystem::path>& inputs) {
  for (const std::filesystem::path& output : outputs) {
    for (const std::filesystem::path& input : inputs) {
      if (!input.empty() && sameFile(output, input)) {
        const std::string named =
            output == input ? output.string() : output.string() + " (" + input.string() + ")";
        throw std::invalid_argument(named +
                                    " is a file this command reads: writing it as an output "
                                    "would destroy it; nothing written");
      }
    }
  }
}

}  // namespace drumplot
