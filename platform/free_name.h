#pragma once

// Taking the first free name of a numbered sequence ("Untitled 2.txt",
// "Photo1 (3).jpg") when other processes may take names at the same time.

#include "platform/error.h"

#include <cstdint>

namespace corvane {

/// How many times in a row another process may take the chosen name between
/// our look and our write before the write counts as failed, rather than
/// chase names forever.
inline constexpr int kMaxNameRaces = 100;

/// The first number from `first` on whose name is free: `exists(nameAt(n))`
/// is false. Gaps are taken.
template <class NameAt, class Exists>
std::int64_t firstFreeNumber(const NameAt& nameAt, const Exists& exists, std::int64_t first = 0) {
    std::int64_t n = first;
    while (exists(nameAt(n)))
        ++n;
    return n;
}

/// Hands `take` the name of `number`, which `firstFreeNumber` found free.
/// `take` must refuse to replace what it finds there: when it fails with
/// `std::errc::file_exists`, another process took the name meanwhile, and the
/// next free name after it is tried, at most `kMaxNameRaces` times. Returns
/// the number whose name was taken, or the last failure.
template <class NameAt, class Exists, class Take>
Expected<std::int64_t> takeFreeName(const NameAt& nameAt, const Exists& exists, const Take& take,
                                    std::int64_t number) {
    for (int races = 0;; ++races) {
        Expected<void> taken = take(nameAt(number));
        if (taken)
            return number;
        if (taken.error().code != std::errc::file_exists || races == kMaxNameRaces)
            return std::unexpected(taken.error());
        number = firstFreeNumber(nameAt, exists, number + 1);
    }
}

} // namespace corvane
