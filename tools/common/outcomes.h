// SPDX-License-Identifier: MIT
// An input described by what decides the quicksorts' answers. The sort asks
// only whether one element orders before another. Bytes compare as unsigned
// numbers, so their order, ties included, decides every answer. A word's
// wrapped difference x - y is negative exactly when the top bits are equal
// and low(x) < low(y), or differ and low(x) >= low(y) (low: the other 31
// bits), so each word's top bit and the order of the low parts, ties
// included, decide every answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct outcome_input {
    std::vector<std::uint8_t> top;    // a word's top bit; 0 for bytes
    std::vector<std::uint32_t> rank;  // the order of the low parts (bytes: the values); equal ranks tie
};

// The input file that realises `in`: word i is top << 31 | rank (ranks below
// 2^31), little-endian; byte i is rank (ranks below 256).
std::vector<unsigned char> realise(const outcome_input& in, std::size_t element_size);

// The description of an input file's whole elements: tops, and ranks that
// number the distinct low parts (bytes: the values) from 0 in order, so
// realise() gives an input with the same answers, and the same cost.
outcome_input describe(const std::vector<unsigned char>& bytes, std::size_t element_size);
