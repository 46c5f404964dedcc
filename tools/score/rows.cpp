// SPDX-License-Identifier: MIT
#include "rows.h"

#include "cli.h"
#include "tsv.h"

#include <cinttypes>
#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at s[i], or 0.
std::size_t utf8_length(const std::string& s, std::size_t i) {
    auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((b(i + k) & 0xC0) != 0x80) return 0;
    std::uint32_t cp = n == 1 ? c : c & (0x7Fu >> n);
    for (std::size_t k = 1; k < n; ++k) cp = cp << 6 | (b(i + k) & 0x3F);
    // Overlong forms and surrogates are not valid UTF-8.
    static const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

// `prefix` and then v in `digits` hexadecimal digits.
void put_hex(std::string& out, const char* prefix, unsigned v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%s%0*x", prefix, digits, v);
    out += buf;
}

// A JSON string. Paths are bytes, not always UTF-8: a byte that is not part
// of valid UTF-8 is written as the lone surrogate \udcXX, as Python's
// "surrogateescape" reads it back into the same byte.
void put_json(std::string& out, const std::string& s) {
    out += '"';
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = utf8_length(s, i);
        if (n == 0) {
            put_hex(out, "\\udc", c, 2);
            ++i;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            put_hex(out, "\\u", c, 4);
            ++i;
        } else {
            out.append(s, i, n);
            i += n;
        }
    }
    out += '"';
}

void put_number(std::string& out, std::uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%" PRIu64, v);
    out += buf;
}

}  // namespace

void format_header(std::string& out, const row_format& format) {
    if (format.json) return;
    std::vector<std::string> columns = {"path", "bytes"};
    for (std::size_t p : format.columns) columns.push_back(sortcost::programs[p].name);
    out += tsv_header({columns});
}

void format_row(std::string& out, const row_format& format, const score_row& row) {
    if (!format.json) {
        out += escaped_path(row.path);
        out += '\t';
        // An unreadable file's size is unknown: the field stays empty.
        if (row.readable) put_number(out, row.bytes);
        for (std::size_t p : format.columns) {
            out += '\t';
            put_number(out, row.costs[p]);
        }
        out += '\n';
        return;
    }
    out += "{\"path\":";
    put_json(out, row.path);
    out += ",\"bytes\":";
    if (row.readable)
        put_number(out, row.bytes);
    else
        out += "null";
    for (std::size_t p : format.columns) {
        ((out += ",\"") += sortcost::programs[p].name) += "\":";
        put_number(out, row.costs[p]);
    }
    if (!row.failed_step.empty()) {
        out += ",\"error\":";
        put_json(out, read_error(row));
    }
    out += "}\n";
}
