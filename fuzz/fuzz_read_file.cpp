// SPDX-License-Identifier: MIT
// read_file and read_file_str on files holding the input's bytes: both must
// return the bytes exactly, or fail cleanly on an empty file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ioutil.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/sortcost-fuzz-read-" + std::to_string(getpid());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, size, 1, f) != 1) std::abort();
    std::fclose(f);

    unsigned char* buf = nullptr;
    std::int64_t got = read_file(path.c_str(), &buf);
    char* str = nullptr;
    std::int64_t got_str = read_file_str(path.c_str(), &str);
    std::remove(path.c_str());

    if (size == 0) {
        // An empty file fails at the read; no buffer is handed out.
        if (got != read_file_fread_failed || got_str != read_file_fread_failed || buf || str) std::abort();
        return 0;
    }
    if (got != static_cast<std::int64_t>(size) || got_str != got) std::abort();
    if (std::memcmp(buf, data, size) != 0 || std::memcmp(str, data, size) != 0 || str[size] != '\0') std::abort();
    std::free(buf);
    std::free(str);
    return 0;
}
