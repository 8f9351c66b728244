#pragma once
// Time-out arithmetic of a read and of a write, kept apart from any I/O so it
// can be checked on its own. Values follow the Windows COMMTIMEOUTS meanings:
// - interval I, total multiplier M, total constant C, all in ms;
// - I = MAXDWORD with M = C = 0: return at once with what is there;
// - I = M = MAXDWORD with 0 < C < MAXDWORD: return as soon as one byte is
//   there, or after C with none;
// - otherwise a read ends when its buffer is full, when M * size + C has passed
//   (when either is non-zero), or when I has passed since the last byte (I > 0,
//   only after the first byte).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/SerialDevice.h"

namespace korvel::platform {

inline constexpr std::uint32_t kMaxTimeout = 0xFFFFFFFFu;

struct ReadProgress {
    std::size_t capacity = 0;
    std::size_t count = 0;
    std::chrono::milliseconds sinceStart{0};
    std::chrono::milliseconds sinceLastByte{0}; // meaningful when count > 0
};

struct ReadPlan {
    bool complete = false;
    // How long the read may still wait for input; none means without limit.
    std::optional<std::chrono::milliseconds> wait;
};

ReadPlan PlanRead(const Timeouts& timeouts, const ReadProgress& progress);

// The whole time a write of `size` bytes may take; none means without limit.
std::optional<std::chrono::milliseconds> WriteTimeLimit(const Timeouts& timeouts, std::size_t size);

} // namespace korvel::platform
