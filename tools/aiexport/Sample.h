// The built-in sample drawing's fragments, embedded at build time.
#pragma once

#include <cstddef>

#include "RecordScript.h"

namespace recordscript {

// From tools/aiexport/sample/, in file-name order.
extern const SampleFragment kSampleFragments[];
extern const std::size_t kSampleFragmentCount;

}  // namespace recordscript
