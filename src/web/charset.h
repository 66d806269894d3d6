// Turning response bytes into local text.
#pragma once

#include <optional>
#include <string_view>

#include "text/text.h"

namespace lilan {

// 0 asks for detection; decodeResponse reports the one it used (never 0).
enum CharsetCode : int {
    kCharsetDetect = 0,
    kCharsetLocal = 1,
    kCharsetUtf8 = 2,
    kCharsetUtf16LE = 3,
    kCharsetUtf16BE = 4,
    kCharsetBig5 = 5,
    kCharsetBig5Hkscs = 6,
};

struct DecodedText {
    Text text;
    int code = kCharsetLocal;
};

// By byte-order mark, else the <meta> tags of the head, else a trial UTF-8 conversion,
// else the bytes as they came (up to the first zero byte).
DecodedText decodeResponse(std::string_view bytes, int requested = kCharsetDetect);

// 2, 6 or 5 from the first <meta> tag that names UTF-8, Big5-HKSCS or Big5.
std::optional<int> charsetFromMeta(std::string_view html);

// True when any item of `list` (items separated by "[fg]") occurs in `text`, ASCII case ignored.
bool containsAny(std::string_view text, std::string_view list);

} // namespace lilan
