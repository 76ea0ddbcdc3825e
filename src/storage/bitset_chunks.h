#pragma once
// Chunk borders for parallel writes into a boost::dynamic_bitset.

#include <algorithm>
#include <boost/dynamic_bitset.hpp>
#include <cstdint>

namespace vorlith::storage {

using Bitset = boost::dynamic_bitset<unsigned long>;

/// Bits of a bitset share storage words of bits_per_block bits, and writing one bit
/// rewrites its whole word, so two threads must never write bits of one word. The
/// driver's chunk border is moved up to the next word boundary (bit numbers are
/// absolute positions); the range's own start and end stay. Every chunk maps its
/// two borders through this one function, so neighbouring chunks still meet exactly.
inline std::int64_t bitset_chunk_border(std::int64_t border, std::int64_t start, std::int64_t end) {
  constexpr std::int64_t word = Bitset::bits_per_block;
  if (border <= start || border >= end) return border;
  return std::min((border + word - 1) / word * word, end);
}

}  // namespace vorlith::storage
