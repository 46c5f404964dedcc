// SPDX-License-Identifier: MIT
#include "inputs.h"

#include <cstring>

#include "sortcost/costs.h"

std::size_t element_size(const std::string& program) { return program == "qsort_bytes" ? 1 : 4; }

std::vector<unsigned char> input_of(const std::string& program, const std::vector<std::uint32_t>& values) {
    std::vector<unsigned char> out;
    if (element_size(program) == 1) {
        for (std::uint32_t v : values) out.push_back(static_cast<unsigned char>(v));
        return out;
    }
    for (std::uint32_t v : values)
        for (int b = 0; b < 32; b += 8) out.push_back(static_cast<unsigned char>(v >> b));  // little-endian
    return out;
}

std::uint64_t program_cost(const std::string& program, const std::vector<unsigned char>& in) {
    if (program == "isort_words") return isort_words_cost(in.data(), in.size());
    if (program == "qsort_words") return qsort_words_cost(in.data(), in.size());
    return qsort_bytes_cost(in.data(), in.size());
}
