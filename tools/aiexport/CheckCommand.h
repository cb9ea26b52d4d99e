// aiexport --check: the preflight report of one file on standard output.
#pragma once

#include <string>
#include <vector>

#include "Check.h"

// Prints the findings of `files` (exactly one) and returns the exit status:
// 0 clean, 1 findings, 2 unreadable or bad usage.
int RunCheck(const std::vector<std::string>& files, aicheck::Profile profile);
