#pragma once
// How the non-ISO swipe windows talk to the encoder; their windows run these.
#include "dialect/Profiles.h"

namespace NonIso {
inline const WindowProfile kRead{
    {{StartStep::Reset, StartStep::Settle}},
    Closing::IdleAndDrain,
};
inline const WindowProfile kWrite{
    {{StartStep::IndicatorSwipe, StartStep::Settle, StartStep::Discard}},
    Closing::LastCharacterAttention,
    Exchange::LastCharacter,
};
} // namespace NonIso
