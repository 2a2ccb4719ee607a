// Output forms of sorvix-cli (see cli_output.h).
#include "cli/cli_output.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace sorvix::cli {

namespace {

// Decodes one UTF-8 sequence at s[i]; returns its length (1 for an invalid
// byte, reported as cp = 0xFFFFFFFF).
std::size_t DecodeUtf8(std::string_view s, std::size_t i, std::uint32_t* cp) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + static_cast<std::size_t>(len) > s.size()) {
        *cp = 0xFFFFFFFF;
        return 1;
    }
    std::uint32_t v = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; k < len; ++k) {
        unsigned char c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) {
            *cp = 0xFFFFFFFF;
            return 1;
        }
        v = (v << 6) | (c & 0x3F);
    }
    // Overlong forms and surrogates are invalid too.
    static const std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (v < kMin[len] || (v >= 0xD800 && v <= 0xDFFF) || v > 0x10FFFF) {
        *cp = 0xFFFFFFFF;
        return 1;
    }
    *cp = v;
    return static_cast<std::size_t>(len);
}

int CodePointWidth(std::uint32_t cp) {
    if (cp == 0xFFFFFFFF) return 1;
    if ((cp >= 0x0300 && cp <= 0x036F) || (cp >= 0x200B && cp <= 0x200F) || (cp >= 0xFE00 && cp <= 0xFE0F)) return 0;
    if ((cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) || (cp >= 0x3041 && cp <= 0x33FF) ||
        (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
        (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F) ||
        (cp >= 0xFF00 && cp <= 0xFF60) || (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD)) {
        return 2;
    }
    return 1;
}

}  // namespace

std::string JsonString(std::string_view s) {
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size();) {
        std::uint32_t cp;
        std::size_t n = DecodeUtf8(s, i, &cp);
        if (cp == 0xFFFFFFFF) {
            out += "\xEF\xBF\xBD";
        } else if (cp == '"') {
            out += "\\\"";
        } else if (cp == '\\') {
            out += "\\\\";
        } else if (cp == '\n') {
            out += "\\n";
        } else if (cp == '\r') {
            out += "\\r";
        } else if (cp == '\t') {
            out += "\\t";
        } else if (cp < 0x20 || cp == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(cp));
            out += buf;
        } else {
            out.append(s.substr(i, n));
        }
        i += n;
    }
    out += '"';
    return out;
}

int DisplayWidth(std::string_view s) {
    int width = 0;
    for (std::size_t i = 0; i < s.size();) {
        std::uint32_t cp;
        i += DecodeUtf8(s, i, &cp);
        width += CodePointWidth(cp);
    }
    return width;
}

std::string OneLine(std::string_view s) {
    std::string out;
    bool pendingSpace = false;
    for (char c : s) {
        bool blank = static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        if (blank) {
            pendingSpace = !out.empty();
            continue;
        }
        if (pendingSpace && (out.empty() || out.back() != ' ') && c != ' ') out += ' ';
        pendingSpace = false;
        out += c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    std::size_t first = out.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : out.substr(first);
}

std::string FormatTable(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows) {
    const std::size_t columns = header.size();
    std::vector<int> widths(columns, 0);
    auto cellOf = [&](const std::vector<std::string>& row, std::size_t c) -> std::string {
        return c < row.size() ? OneLine(row[c]) : std::string();
    };
    for (std::size_t c = 0; c < columns; ++c) {
        widths[c] = DisplayWidth(header[c]);
        for (const auto& row : rows) widths[c] = std::max(widths[c], DisplayWidth(cellOf(row, c)));
    }
    auto line = [&](const std::vector<std::string>& cells) {
        std::string out;
        for (std::size_t c = 0; c < columns; ++c) {
            std::string text = c < cells.size() ? cells[c] : std::string();
            out += text;
            if (c + 1 < columns) out += std::string(static_cast<std::size_t>(widths[c] - DisplayWidth(text) + 2), ' ');
        }
        while (!out.empty() && out.back() == ' ') out.pop_back();
        return out + "\n";
    };
    std::string out = line(header);
    std::vector<std::string> rule;
    for (int w : widths) rule.push_back(std::string(static_cast<std::size_t>(w), '-'));
    out += line(rule);
    for (const auto& row : rows) {
        std::vector<std::string> cells;
        for (std::size_t c = 0; c < columns; ++c) cells.push_back(cellOf(row, c));
        out += line(cells);
    }
    return out;
}

std::string TsvField(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += c;
        }
    }
    return out;
}

std::string FormatTsv(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows) {
    auto line = [](const std::vector<std::string>& cells) {
        std::string out;
        for (std::size_t c = 0; c < cells.size(); ++c) out += (c ? "\t" : "") + TsvField(cells[c]);
        return out + "\n";
    };
    std::string out = line(header);
    for (const auto& row : rows) out += line(row);
    return out;
}

}  // namespace sorvix::cli
