// SPDX-License-Identifier: MIT
// Cost-guided search for inputs that make qsort_bytes expensive: the engine keeps
// every input whose cost reaches a level none reached before (cost_feedback.h).
//   maximize_qsort_bytes -max_len=64 -max_total_time=60 CORPUS [SEEDS]
#include <cstddef>
#include <cstdint>

#include "cost_feedback.h"
#include "sortcost/costs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    cost_feedback::report("maximize_qsort_bytes", sortcost::qsort_bytes_cost(data, size));
    return 0;
}
