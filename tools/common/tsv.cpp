// SPDX-License-Identifier: MIT
#include "tsv.h"

#include "safe_file.h"

std::string tsv_escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::string tsv_line(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) (out += i ? "\t" : "") += tsv_escape(fields[i]);
    return out + '\n';
}

std::string tsv_header(const tsv_format& format) { return tsv_line(format.columns); }

namespace {

// The fields of one line, split at every tab (an empty last field too).
bool split(const std::string& line, std::vector<std::string>& fields) {
    fields.assign(1, "");
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c != '\\') {
            fields.back() += c;
        } else {
            const char e = i + 1 < line.size() ? line[++i] : '\0';
            if (e == '\\') fields.back() += '\\';
            else if (e == 't') fields.back() += '\t';
            else if (e == 'n') fields.back() += '\n';
            else if (e == 'r') fields.back() += '\r';
            else return false;
        }
    }
    return true;
}

}  // namespace

bool parse_tsv(const std::string& name, const std::string& text, const tsv_format& format, tsv_table& out,
               std::string& error) {
    out = {};
    auto fail = [&](std::size_t line, const std::string& why) {
        error = tsv_escape(name);
        if (line) {
            error += ':';
            error += std::to_string(line);
        }
        error += ": ";
        error += why;
        return false;
    };
    if (text.empty()) return fail(0, "empty, where a table with the header was expected");
    if (text.back() != '\n') return fail(0, "the last line has no newline: the file is cut short");
    const std::string header = tsv_header(format);
    std::vector<std::string> fields;
    for (std::size_t at = 0, number = 1; at < text.size(); ++number) {
        const std::size_t end = text.find('\n', at);
        out.lines.push_back(text.substr(at, end - at));
        at = end + 1;
        const std::string& line = out.lines.back();
        if (number == 1) {
            if (line + '\n' != header) return fail(1, "the first line must be the header: " + header.substr(0, header.size() - 1));
            continue;
        }
        // A header again: outputs put one after the other.
        if ((!line.empty() && line[0] == '#') || line + '\n' == header) continue;
        if (!split(line, fields)) return fail(number, "a backslash that starts no escape (\\\\, \\t, \\n or \\r)");
        if (fields.size() != format.columns.size())
            return fail(number, "a row has " + std::to_string(format.columns.size()) + " tab-separated fields, this has " +
                                    std::to_string(fields.size()));
        out.rows.push_back({number, fields});
    }
    return true;
}

bool read_tsv(const std::string& path, const tsv_format& format, tsv_table& out, std::string& error) {
    std::string text;
    return read_regular_file(path, text, error) && parse_tsv(path, text, format, out, error);
}


