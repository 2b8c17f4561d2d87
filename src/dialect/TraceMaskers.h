#pragma once
// The two dialects' card data maskers for the trace (see device/CardDataMasker.h).
#include "device/CardDataMasker.h"

// HKD382: the track text inside the write blocks after 1B 77 and 1B 57, and inside the read
// reply after 1B 73; ESC pairs, sentinels, "+" for an empty track, "?" FS and the status stay.
std::unique_ptr<CardDataMasker> makeHkd382Masker();
// VNT-290B: the data message after a track's write announcement (up to its 04; the NUL lead-in
// stays), and every answer to a track read but a lone "+" or "*" (no data, unreadable), shown
// once the next command tells that the answer ended there; commands and acknowledgements stay.
std::unique_ptr<CardDataMasker> makeVnt290bMasker();
