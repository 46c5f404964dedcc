// SPDX-License-Identifier: MIT
// McIlroy's adversary ("A Killer Adversary for Quicksort", Software: Practice
// and Experience, 1999), run against the project's own quicksort.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The values the adversary fixes for n items while the quicksort sorts item
// numbers of `item_size` bytes (1, 2 or 4), and through `cost` what the
// quicksort program reports for an input of those values with elements of
// that size (entry steps of main, the reader and test_qsort included). Its
// answers agree with the values, so sorting them asks the same questions.
std::vector<std::uint32_t> adversarial_values(std::size_t n, std::size_t item_size, std::uint64_t& cost);
