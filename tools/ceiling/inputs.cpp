// SPDX-License-Identifier: MIT
#include "inputs.h"

#include <cstring>

#include "sortcost/costs.h"

std::size_t element_size(const std::string& program) {
    return sortcost::find_program(program.c_str())->element_size;
}

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
    return sortcost::find_program(program.c_str())->cost(in.data(), in.size());
}
