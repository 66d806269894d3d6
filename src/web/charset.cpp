#include "web/charset.h"

#include "text/encoding.h"

namespace lilan {
namespace {

constexpr const char* kTarget = "GB18030";

// The charset names iconv knows the codes 2 to 6 by.
const char* sourceName(int code) {
    switch (code) {
    case kCharsetUtf8: return "UTF-8";
    case kCharsetUtf16LE: return "UTF-16LE";
    case kCharsetUtf16BE: return "UTF-16BE";
    case kCharsetBig5: return "BIG5";
    case kCharsetBig5Hkscs: return "BIG5-HKSCS";
    default: return nullptr;
    }
}

std::string_view upToZero(std::string_view bytes) {
    const auto zero = bytes.find('\0');
    return zero == std::string_view::npos ? bytes : bytes.substr(0, zero);
}

bool beginsWith(std::string_view bytes, std::string_view mark) {
    return bytes.substr(0, mark.size()) == mark;
}

// A whole-text conversion: one bad sequence and nothing comes out, which is what lets a
// GBK page fall through to the unconverted path.
Text convertWhole(std::string_view rest, const char* from) {
    auto converted = convertStrict(rest, from, kTarget);
    if (!converted) return {};
    converted->resize(upToZero(*converted).size()); // cut in place: pages are large
    return std::move(*converted);
}

// Reads UTF-8 the forgiving way a desktop code-page call does: unreadable bytes become "?".
Text utf8Fallback(std::string_view rest) {
    return Text(upToZero(convertLenient(rest, "UTF-8", kTarget)));
}

// Both Big5 codes fall back to plain Big5 (the desktop code page has no HKSCS variant),
// reading only up to the first zero byte.
Text big5Fallback(std::string_view rest) {
    return Text(upToZero(convertLenient(upToZero(rest), "BIG5", kTarget)));
}

struct Start {
    int code;
    size_t position;
};

Start chooseStart(std::string_view bytes, int requested) {
    static constexpr std::string_view utf8Mark = "\xEF\xBB\xBF";
    static constexpr std::string_view leMark = "\xFF\xFE";
    static constexpr std::string_view beMark = "\xFE\xFF";
    switch (requested) {
    case kCharsetDetect:
        if (beginsWith(bytes, utf8Mark)) return {kCharsetUtf8, 3};
        if (beginsWith(bytes, leMark)) return {kCharsetUtf16LE, 2};
        if (beginsWith(bytes, beMark)) return {kCharsetUtf16BE, 2};
        if (auto code = charsetFromMeta(upToZero(bytes))) return {*code, 0};
        return {kCharsetLocal, 0};
    case kCharsetUtf16LE:
    case kCharsetUtf16BE:
        // The caller vouches for the mark, so two bytes are skipped whatever they are.
        return {requested, 2};
    case kCharsetUtf8: return {kCharsetUtf8, beginsWith(bytes, utf8Mark) ? size_t{3} : size_t{0}};
    default: return {requested, 0};
    }
}

} // namespace

DecodedText decodeResponse(std::string_view bytes, int requested) {
    auto [code, position] = chooseStart(bytes, requested);
    const std::string_view rest = position < bytes.size() ? bytes.substr(position) : std::string_view();

    Text text;
    if (code >= kCharsetUtf8 && code <= kCharsetBig5Hkscs) {
        text = convertWhole(rest, sourceName(code));
        if (text.empty()) {
            if (code == kCharsetUtf8) text = utf8Fallback(rest);
            if (code == kCharsetBig5 || code == kCharsetBig5Hkscs) text = big5Fallback(rest);
        }
    } else {
        // Local or unknown: a service reply in UTF-8 is the common case, so try that first.
        text = convertWhole(rest, "UTF-8");
        if (!text.empty()) code = kCharsetUtf8;
    }
    if (text.empty()) {
        // Nothing accepted the bytes: hand them over as they came, mark and all.
        text = Text(upToZero(bytes));
        code = kCharsetLocal;
    }
    return {std::move(text), code};
}

std::optional<int> charsetFromMeta(std::string_view html) {
    static const Text utf8List = restoreQuotes("charset=UTF-8[fg]charset=''UTF-8''[fg]charset='UTF-8'");
    static const Text hkscsList =
        restoreQuotes("charset=Big5-HKSCS[fg]charset=''Big5-HKSCS''[fg]charset='Big5-HKSCS'");
    static const Text big5List = restoreQuotes("charset=Big5[fg]charset=''Big5''[fg]charset='Big5'");

    Text head = textBetween(html, "<head>", "</head>");
    const std::string_view scope = head.empty() ? html : std::string_view(head);

    long position = 0;
    for (;;) {
        // An empty tag ends the walk just as the end of the tags does.
        const Text tag = textBetween(scope, "<meta", ">", &position);
        if (tag.empty()) return std::nullopt;
        if (containsAny(tag, utf8List)) return kCharsetUtf8;
        if (containsAny(tag, hkscsList)) return kCharsetBig5Hkscs;
        if (containsAny(tag, big5List)) return kCharsetBig5;
    }
}

bool containsAny(std::string_view text, std::string_view list) {
    for (const Text& item : splitList(list, "[fg]")) {
        if (findText(text, item, 1, true) > 0) return true;
    }
    return false;
}

} // namespace lilan
