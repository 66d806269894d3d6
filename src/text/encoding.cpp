#include "text/encoding.h"

#include <cstring>

#include "text/gb18030.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <memory>
#include <utility>
#include <vector>

namespace lilan {
namespace {

// iconv descriptors are costly to open and not thread-safe: keep one per thread and pair.
class Converter {
public:
    Converter(const char* from, const char* to) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts `input`; an invalid or incomplete sequence fails the whole conversion, unless
    // `lenient`, where it becomes "?" and the byte is skipped.
    std::optional<std::string> run(std::string_view input, bool lenient) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr); // reset the shift state
        std::string out;
        out.resize(input.size() * 2 + 16);
        char* in = const_cast<char*>(input.data());
        size_t inLeft = input.size();
        size_t written = 0;
        while (inLeft > 0) {
            char* dst = out.data() + written;
            size_t outLeft = out.size() - written;
            const size_t r = iconv(cd_, &in, &inLeft, &dst, &outLeft);
            written = out.size() - outLeft;
            if (r != static_cast<size_t>(-1)) break;
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
            } else if (lenient && (errno == EILSEQ || errno == EINVAL)) {
                out.resize(std::max(out.size(), written + 1));
                out[written++] = '?';
                ++in;
                --inLeft;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            } else {
                return std::nullopt;
            }
        }
        // Flush any pending shift state.
        for (;;) {
            char* dst = out.data() + written;
            size_t outLeft = out.size() - written;
            if (iconv(cd_, nullptr, nullptr, &dst, &outLeft) != static_cast<size_t>(-1)) {
                written = out.size() - outLeft;
                break;
            }
            if (errno != E2BIG) break;
            out.resize(out.size() * 2);
        }
        out.resize(written);
        return out;
    }

private:
    iconv_t cd_;
};

Converter& converter(const char* from, const char* to) {
    // A handful of pairs are ever used; a linear scan without allocation beats a map here,
    // since conversions run for every group of every match.
    struct Slot {
        std::string from, to;
        std::unique_ptr<Converter> converter;
    };
    thread_local std::vector<Slot> slots;
    for (Slot& slot : slots) {
        if (slot.from == from && slot.to == to) return *slot.converter;
    }
    slots.push_back({from, to, std::make_unique<Converter>(from, to)});
    return *slots.back().converter;
}

// The pairs the program converts all the time take the table-driven path.
std::optional<std::string> fastPath(std::string_view input, const char* from, const char* to, bool lenient,
                                    bool& handled) {
    handled = true;
    if (std::strcmp(from, "UTF-8") == 0 && std::strcmp(to, "GB18030") == 0)
        return gb18030::fromUtf8(input, lenient);
    if (std::strcmp(from, "GB18030") == 0 && std::strcmp(to, "UTF-8") == 0)
        return gb18030::toUtf8(input, lenient);
    handled = false;
    return std::nullopt;
}

} // namespace

std::optional<std::string> convertStrict(std::string_view input, const char* from, const char* to) {
    if (input.empty()) return std::string();
    bool handled = false;
    auto fast = fastPath(input, from, to, false, handled);
    if (handled) return fast;
    Converter& c = converter(from, to);
    if (!c.ok()) return std::nullopt;
    return c.run(input, false);
}

std::string convertLenient(std::string_view input, const char* from, const char* to) {
    if (input.empty()) return {};
    bool handled = false;
    auto fast = fastPath(input, from, to, true, handled);
    if (handled) return fast.value_or(std::string());
    Converter& c = converter(from, to);
    if (!c.ok()) return std::string(input);
    return c.run(input, true).value_or(std::string());
}

Text fromUtf8(std::string_view utf8) {
    return gb18030::fromUtf8(utf8, true).value_or(Text());
}

std::string toUtf8(std::string_view local) {
    return gb18030::toUtf8(local, true).value_or(std::string());
}

} // namespace lilan
