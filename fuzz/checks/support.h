// Small helpers the property checks share.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "text/gb18030.h"

namespace lilan::fuzzing {

// Whether the bytes are well-formed local text, i.e. what the program's own conversions
// produce. Several properties only hold for such text, because malformed bytes are read
// as "?" on the way into the pattern engine.
inline bool isLocalText(std::string_view bytes) {
    return gb18030::toUtf8(bytes, false).has_value();
}

// The characters of well-formed local text, as UTF-8. Comparisons of text that went through
// the pattern engine are made on characters: a few characters have two GB18030 forms (a
// two-byte one from the older table and a four-byte one), and the way back from the engine
// always writes the second.
inline std::string characters(std::string_view local) {
    return gb18030::toUtf8(local, true).value_or(std::string());
}

// The bytes in a form fit for a failure report: printable ASCII as it is, the rest as \xHH,
// cut after a few hundred bytes.
inline std::string shown(std::string_view bytes) {
    std::string out = "\"";
    for (size_t i = 0; i < bytes.size() && i < 300; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    if (bytes.size() > 300) out += "...";
    return out + "\"";
}

} // namespace lilan::fuzzing
