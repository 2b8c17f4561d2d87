#pragma once
// The non-ISO read and write as the bytes of both dialects, from the operator's choice.
#include "dialect/NonIsoRequest.h"
#include "noniso/NonIsoFormat.h"

namespace NonIso {
NonIsoReadRequest ReadRequest(const Selection &selection);
NonIsoWriteRequest WriteRequest(const WriteJob &job);
// Per track 1..3 at 0..2: true for 210 BPI.
std::array<bool, 3> High210(const Densities &densities);
} // namespace NonIso
