#pragma once
// How the batch windows (save to file, encode from file, incremental encode) talk to the
// encoder; their windows run these.
#include "dialect/Profiles.h"

namespace Batch {
extern const WindowProfile kSaveToFile;
extern const ReadProfile kSaveToFileRead;
extern const WindowProfile kEncodeFromFile;
extern const WriteProfile kEncodeFromFileWrite;
extern const WindowProfile kIncremental;
extern const WriteProfile kIncrementalWrite;
} // namespace Batch
