#pragma once
// The one FNV-1a hash of the loader (64 bits): the snapshot's file names and scope, and the
// menu-group index's case-blind lookups. Fast on short names, and stable across runs and
// builds, which a hash written into a file name must be.
#include <cstdint>
#include <string_view>

namespace qm {

inline constexpr std::uint64_t kFnvOffsetBasis = 0xCBF29CE484222325ULL;
inline constexpr std::uint64_t kFnvPrime = 0x100000001B3ULL;

// Folds each byte of data, mapped by map (the byte itself by default), into hash.
template <class Map = decltype([](char c) { return c; })>
constexpr std::uint64_t fnv1a(std::string_view data, std::uint64_t hash = kFnvOffsetBasis,
                              Map map = {}) {
    for (const char c : data) {
        hash = (hash ^ static_cast<unsigned char>(map(c))) * kFnvPrime;
    }
    return hash;
}

}  // namespace qm
