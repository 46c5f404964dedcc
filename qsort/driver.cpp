// SPDX-License-Identifier: MIT
#include "driver.h"

#include <cstdio>

#include "Hooks.h"
#include "kinds.h"

void test_qsort(const unsigned char* src, std::uint64_t size) {
    sortcost::cost_inc();
    if (!sortcost::QSORT_KIND::sort_copy(src, size)) std::perror("buf");
}
