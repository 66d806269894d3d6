// Properties of decodeResponse on arbitrary response bodies.
#include "checks.h"
#include "support.h"

#include "web/charset.h"

namespace lilan::fuzzing {
namespace {

std::string_view upToZero(std::string_view bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

// Codes a request may end in: the requested charset itself, or the bytes as they came.
// Detection, local and unknown requests may also end in UTF-8 by the trial conversion.
bool reachable(int requested, int code) {
    if (code == kCharsetLocal) return true;
    switch (requested) {
    case kCharsetDetect:
        return code >= kCharsetUtf8 && code <= kCharsetBig5Hkscs;
    case kCharsetUtf8:
    case kCharsetUtf16LE:
    case kCharsetUtf16BE:
    case kCharsetBig5:
    case kCharsetBig5Hkscs:
        return code == requested;
    default:
        return code == kCharsetUtf8;
    }
}

std::string checkOne(std::string_view bytes, int requested, const DecodedText& decoded) {
    const std::string which = "request " + std::to_string(requested) + ": ";
    if (decoded.code < kCharsetLocal || decoded.code > kCharsetBig5Hkscs)
        return which + "reported code " + std::to_string(decoded.code) + " is no charset";
    if (!reachable(requested, decoded.code))
        return which + "reported code " + std::to_string(decoded.code) + " cannot follow from this request";
    if (decoded.text.find('\0') != std::string::npos) return which + "text holds a zero byte";
    if (decoded.code == kCharsetLocal) {
        if (decoded.text != upToZero(bytes))
            return which + "local text differs from the bytes up to the first zero: " + shown(decoded.text);
        return {};
    }
    // A conversion took place: its result is never empty (else the bytes come back as they
    // are) and always well-formed local text.
    if (decoded.text.empty()) return which + "converted text is empty";
    if (!isLocalText(decoded.text)) return which + "converted text is malformed: " + shown(decoded.text);
    return {};
}

} // namespace

std::string checkDecodeResponse(std::string_view data) {
    static const int requests[] = {kCharsetDetect,
                                   kCharsetLocal,
                                   kCharsetUtf8,
                                   kCharsetUtf16LE,
                                   kCharsetUtf16BE,
                                   kCharsetBig5,
                                   kCharsetBig5Hkscs,
                                   7,
                                   -1};
    DecodedText detected;
    for (const int requested : requests) {
        const DecodedText decoded = decodeResponse(data, requested);
        if (std::string failure = checkOne(data, requested, decoded); !failure.empty()) return failure;
        if (requested == kCharsetDetect) detected = decoded;
    }

    // Detection only chooses a charset: asking for that charset outright must decode the
    // same way.
    if (detected.code != kCharsetLocal) {
        const DecodedText direct = decodeResponse(data, detected.code);
        if (direct.text != detected.text || direct.code != detected.code)
            return "detection chose code " + std::to_string(detected.code) +
                   " but requesting it decodes differently: " + shown(direct.text) + " vs " +
                   shown(detected.text);
    }
    if (data.empty() && !detected.text.empty()) return "empty bytes gave text";
    return {};
}

} // namespace lilan::fuzzing
