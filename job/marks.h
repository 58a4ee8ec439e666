// SPDX-License-Identifier: MIT
// Registration marks: the names offered for insertion, and inserting a mark
// file as a board whose every layer draws it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "job/job.h"

namespace drumplot {

inline constexpr const char* kNoMarkDefined = "No mark defined";
inline constexpr size_t kMinMarkFileBytes = 10;

// The names the Select mark dialog offers: entries 1, 2, ... up to the first
// whose name is empty or begins with a space. Line i is entry i + 1.
std::vector<std::string> markChoices(const MarkTable& marks);

enum class MarkInsertResult {
  Inserted,
  NoMarkDefined,  // the window shows kNoMarkDefined
  NotOffered,     // no line chosen, or a line the list does not hold
  FileUnusable,   // path shorter than 2 characters, missing, or under 10 bytes: nothing, silently
};

// Inserts the entry behind line `choice` of markChoices() as a selected mark
// board (a relative mark path against the job's folder). `index` receives
// the new board's index when one is made.
MarkInsertResult insertMark(Job& job, int choice, size_t* index = nullptr);

}  // namespace drumplot
