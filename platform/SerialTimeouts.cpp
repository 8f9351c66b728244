#include "platform/SerialTimeouts.h"

#include <algorithm>

namespace korvel::platform {

namespace {

using std::chrono::milliseconds;

std::optional<milliseconds> TotalLimit(std::uint32_t multiplier, std::uint32_t constant,
                                       std::size_t size) {
    if (multiplier == 0 && constant == 0) {
        return std::nullopt;
    }
    // 64-bit: MAXDWORD times a 2048-byte buffer does not fit in 32 bits.
    return milliseconds(std::int64_t{multiplier} * static_cast<std::int64_t>(size) +
                        std::int64_t{constant});
}

std::optional<milliseconds> Earlier(std::optional<milliseconds> a, std::optional<milliseconds> b) {
    if (!a) {
        return b;
    }
    if (!b) {
        return a;
    }
    return std::min(*a, *b);
}

} // namespace

ReadPlan PlanRead(const Timeouts& t, const ReadProgress& p) {
    if (p.count >= p.capacity) {
        return {true, std::nullopt};
    }
    if (t.readInterval == kMaxTimeout && t.readTotalMultiplier == 0 && t.readTotalConstant == 0) {
        return {true, std::nullopt};
    }
    if (t.readInterval == kMaxTimeout && t.readTotalMultiplier == kMaxTimeout &&
        t.readTotalConstant > 0 && t.readTotalConstant < kMaxTimeout) {
        const milliseconds left = milliseconds(t.readTotalConstant) - p.sinceStart;
        if (p.count > 0 || left <= milliseconds(0)) {
            return {true, std::nullopt};
        }
        return {false, left};
    }

    std::optional<milliseconds> wait;
    if (const auto total = TotalLimit(t.readTotalMultiplier, t.readTotalConstant, p.capacity)) {
        const milliseconds left = *total - p.sinceStart;
        if (left <= milliseconds(0)) {
            return {true, std::nullopt};
        }
        wait = left;
    }
    if (t.readInterval > 0 && t.readInterval != kMaxTimeout && p.count > 0) {
        const milliseconds left = milliseconds(t.readInterval) - p.sinceLastByte;
        if (left <= milliseconds(0)) {
            return {true, std::nullopt};
        }
        wait = Earlier(wait, left);
    }
    return {false, wait};
}

std::optional<std::chrono::milliseconds> WriteTimeLimit(const Timeouts& t, std::size_t size) {
    return TotalLimit(t.writeTotalMultiplier, t.writeTotalConstant, size);
}

Timeouts WithWriteBound(const Timeouts& t, std::uint32_t baudRate) {
    Timeouts bounded = t;
    if (t.writeTotalMultiplier == 0 && t.writeTotalConstant == 0) {
        constexpr std::uint64_t kBitsPerByte = 12;
        const std::uint64_t rate = std::max<std::uint32_t>(baudRate, 1);
        bounded.writeTotalMultiplier = static_cast<std::uint32_t>(
            std::min<std::uint64_t>((kBitsPerByte * 1000 + rate - 1) / rate, kMaxTimeout - 1));
        bounded.writeTotalConstant = kWriteMarginMs;
    }
    return bounded;
}

Timeouts SliceTimeouts(const Timeouts& caller, std::uint32_t baudRate, const ReadPlan& plan) {
    Timeouts slice = WithWriteBound(caller, baudRate);
    milliseconds total = kReadSlice;
    if (plan.complete) {
        total = milliseconds(1);
    } else if (plan.wait) {
        total = std::clamp(*plan.wait, milliseconds(1), kReadSlice);
    }
    slice.readInterval = 1;
    slice.readTotalMultiplier = 0;
    slice.readTotalConstant = static_cast<std::uint32_t>(total.count());
    return slice;
}

} // namespace korvel::platform
