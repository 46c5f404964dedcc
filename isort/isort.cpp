#include "isort.h"

#include "Hooks.h"

void isort(std::uint32_t* values, std::int32_t count) {
    cost_inc();
    for (std::int32_t i = 0; cost_inc(), i < count; ++i) {
        // Each element travels down by exchanges with its neighbour; an equal
        // neighbour stops it, so equal words keep their order.
        for (std::int32_t j = i - 1; cost_inc(), j >= 0 && values[j] > values[j + 1]; --j) {
            std::uint32_t t = values[j];
            values[j] = values[j + 1];
            values[j + 1] = t;
        }
    }
}
