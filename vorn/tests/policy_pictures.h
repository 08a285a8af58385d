// The pictures of the picture-policy table (tests/policy/cases.tsv): inputs where front ends
// used to decide differently, and for each case the coded BMP that the policy gives.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "picture_files.h"

// Writes every input and expected file the table names into `folder`.
void write_policy_pictures(const std::filesystem::path& folder);
