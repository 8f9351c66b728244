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

// The write time-outs a device holds a write to: the caller's when it set
// any, else what the line speed needs (12 bits a byte: start, eight data,
// parity and two stop bits) plus kWriteMargin, so that a stalled adapter
// ends a write instead of holding it (and whoever stops the writer) forever.
inline constexpr std::uint32_t kWriteMarginMs = 1000;
Timeouts WithWriteBound(const Timeouts& timeouts, std::uint32_t baudRate);

// The longest one read slice lasts where a driver's read cannot be told to
// report its first bytes (Windows): the read is issued again and again, each
// time ending on its own, and the caller's time-outs are decided between
// slices by PlanRead. A stop or a purge then waits for one slice at most, and
// no read ever needs cancelling.
inline constexpr std::chrono::milliseconds kReadSlice{50};

// The time-outs for the next slice of a read whose plan is `plan`: the
// caller's write time-outs bounded as above, and a read that ends 1 ms after
// a byte (so as soon as a burst of bytes is in) or after min(kReadSlice,
// plan.wait) in all, 1 ms for a plan that is complete already. The total is
// never 0, which would mean without limit, nor near 0x80000000, which some
// drivers take as 0. Not "interval and multiplier MAXDWORD", which the
// documentation offers for "return on the first byte": Wine never completes
// such a read, nor one with the interval alone at MAXDWORD while no byte comes.
Timeouts SliceTimeouts(const Timeouts& caller, std::uint32_t baudRate, const ReadPlan& plan);

} // namespace korvel::platform
