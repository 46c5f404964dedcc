// SPDX-License-Identifier: MIT
#include "rows.h"

namespace {

// A path in a TSV field: backslash, tab, newline and carriage return are
// written as \\, \t, \n and \r, so every row stays one line of fields.
void put_tsv(std::FILE* out, const std::string& s) {
    for (char c : s) {
        if (c == '\\') std::fputs("\\\\", out);
        else if (c == '\t') std::fputs("\\t", out);
        else if (c == '\n') std::fputs("\\n", out);
        else if (c == '\r') std::fputs("\\r", out);
        else std::fputc(c, out);
    }
}

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

// A JSON string. Paths are bytes, not always UTF-8: a byte that is not part
// of valid UTF-8 is written as the lone surrogate \udcXX, as Python's
// "surrogateescape" reads it back into the same byte.
void put_json(std::FILE* out, const std::string& s) {
    std::fputc('"', out);
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = utf8_length(s, i);
        if (n == 0) {
            std::fprintf(out, "\\udc%02x", c);
            ++i;
        } else if (c == '"' || c == '\\') {
            std::fprintf(out, "\\%c", c);
            ++i;
        } else if (c < 0x20) {
            std::fprintf(out, "\\u%04x", c);
            ++i;
        } else {
            std::fwrite(s.data() + i, 1, n, out);
            i += n;
        }
    }
    std::fputc('"', out);
}

}  // namespace

void print_header(std::FILE* out, const row_format& format) {
    if (format.json) return;
    std::fputs("path\tbytes", out);
    for (std::size_t p : format.columns) std::fprintf(out, "\t%s", sortcost::programs[p].name);
    std::fputc('\n', out);
}

void print_row(std::FILE* out, const row_format& format, const score_row& row) {
    auto cost = [&](std::size_t p) { return static_cast<unsigned long long>(row.costs[p]); };
    if (!format.json) {
        put_tsv(out, row.path);
        // An unreadable file's size is unknown: the field stays empty.
        if (row.readable)
            std::fprintf(out, "\t%llu", static_cast<unsigned long long>(row.bytes));
        else
            std::fputc('\t', out);
        for (std::size_t p : format.columns) std::fprintf(out, "\t%llu", cost(p));
        std::fputc('\n', out);
        return;
    }
    std::fputs("{\"path\":", out);
    put_json(out, row.path);
    if (row.readable)
        std::fprintf(out, ",\"bytes\":%llu", static_cast<unsigned long long>(row.bytes));
    else
        std::fputs(",\"bytes\":null", out);
    for (std::size_t p : format.columns) std::fprintf(out, ",\"%s\":%llu", sortcost::programs[p].name, cost(p));
    if (!row.readable) {
        std::fputs(",\"error\":", out);
        put_json(out, read_error(row));
    }
    std::fputs("}\n", out);
}
