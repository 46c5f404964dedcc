// SPDX-License-Identifier: MIT
#include "sortcost/sortcost.h"

#define SORTCOST_STR2(x) #x
#define SORTCOST_STR(x) SORTCOST_STR2(x)

const char* sortcost_version(void) {
    return SORTCOST_STR(SORTCOST_VERSION_MAJOR) "." SORTCOST_STR(SORTCOST_VERSION_MINOR) "." SORTCOST_STR(
        SORTCOST_VERSION_PATCH);
}
