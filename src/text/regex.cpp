#define PCRE2_CODE_UNIT_WIDTH 8
#include "text/regex.h"

#include <list>
#include <memory>
#include <pcre2.h>
#include <utility>

#include "text/encoding.h"

namespace lilan {
namespace {

// Limits that stop any pattern, even a user's catastrophic one, from hanging the program:
// a match that reaches them is treated as a failed match.
constexpr uint32_t kMatchLimit = 5'000'000;
constexpr uint32_t kDepthLimit = 100'000;
constexpr uint32_t kHeapLimitKiB = 64 * 1024;

// Rewrites the pattern where the engine's defaults differ from the semantics the program's
// patterns were written for: in multi-line mode "$" must also match before a carriage
// return, so that a line ending in CR LF ends before its CR, and "^" also after one, as a
// lone CR ends a line too. ("." already stops at a line
// feed only, and \uXXXX and literal braces are handled by options.)
std::string adaptPattern(const std::string& utf8, bool multiLine) {
    if (!multiLine || utf8.find_first_of("$^") == std::string::npos) return utf8;
    std::string out;
    out.reserve(utf8.size() + 16);
    bool inClass = false;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c == '\\' && i + 1 < utf8.size()) {
            out += c;
            out += utf8[++i];
            continue;
        }
        if (inClass) {
            if (c == ']') inClass = false;
            out += c;
            continue;
        }
        if (c == '[') {
            inClass = true;
            out += c;
            // A "]" right at the start of a class is a literal member.
            if (i + 1 < utf8.size() && utf8[i + 1] == '^') out += utf8[++i];
            if (i + 1 < utf8.size() && utf8[i + 1] == ']') out += utf8[++i];
            continue;
        }
        if (c == '$') {
            out += "(?:$|(?=\\r))";
            continue;
        }
        if (c == '^') {
            out += "(?:^|(?<=\\r))";
            continue;
        }
        out += c;
    }
    return out;
}

struct Compiled {
    pcre2_code* code = nullptr;
    uint32_t captureCount = 0;
    bool jitted = false;
    ~Compiled() {
        if (code) pcre2_code_free(code);
    }
};

// Objects are made per page and per article, often with the same few patterns: compiling
// (and JIT-compiling) each pattern once per thread keeps that cheap.
std::shared_ptr<Compiled> compilePattern(const Text& pattern, int32_t mask) {
    struct Entry {
        Text pattern;
        int32_t mask;
        std::shared_ptr<Compiled> compiled;
    };
    thread_local std::list<Entry> cache;
    for (auto it = cache.begin(); it != cache.end(); ++it) {
        if (it->mask == mask && it->pattern == pattern) {
            cache.splice(cache.begin(), cache, it);
            return cache.front().compiled;
        }
    }
    auto compiled = std::make_shared<Compiled>();
    const std::string utf8 = adaptPattern(toUtf8(pattern), mask & 2);
    // "\C" would match one byte of a UTF-8 character, handing out broken pieces and starting
    // the next search inside a character, which the engine does not allow: refuse it.
    uint32_t options = PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_NO_UTF_CHECK | PCRE2_NEVER_BACKSLASH_C;
    if (mask & 1) options |= PCRE2_CASELESS;
    if (mask & 2)
        options |= PCRE2_MULTILINE;
    else
        options |= PCRE2_DOLLAR_ENDONLY;
    pcre2_compile_context* ctx = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(ctx, PCRE2_NEWLINE_LF);
    int error = 0;
    PCRE2_SIZE offset = 0;
    compiled->code =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(utf8.data()), utf8.size(), options, &error, &offset, ctx);
    pcre2_compile_context_free(ctx);
    if (compiled->code) {
        compiled->jitted = pcre2_jit_compile(compiled->code, PCRE2_JIT_COMPLETE) == 0;
        pcre2_pattern_info(compiled->code, PCRE2_INFO_CAPTURECOUNT, &compiled->captureCount);
    }
    cache.push_front({pattern, mask, compiled});
    if (cache.size() > 32) cache.pop_back();
    return compiled;
}

struct MatchContext {
    pcre2_match_context* context = nullptr;
    pcre2_jit_stack* jitStack = nullptr;
    MatchContext() {
        context = pcre2_match_context_create(nullptr);
        pcre2_set_match_limit(context, kMatchLimit);
        pcre2_set_depth_limit(context, kDepthLimit);
        pcre2_set_heap_limit(context, kHeapLimitKiB);
        jitStack = pcre2_jit_stack_create(32 * 1024, 1024 * 1024, nullptr);
        if (jitStack) pcre2_jit_stack_assign(context, nullptr, jitStack);
    }
    ~MatchContext() {
        if (jitStack) pcre2_jit_stack_free(jitStack);
        pcre2_match_context_free(context);
    }
};

MatchContext& matchContext() {
    thread_local MatchContext ctx;
    return ctx;
}

// One match: start and end offsets of the whole match and of every group (unset groups
// have PCRE2_UNSET).
using Spans = std::vector<std::pair<size_t, size_t>>;

// Walks the matches of `subject` as a global search does, calling `each` for every match.
// Returns false when the engine gave up (a limit was reached or an error occurred).
template <typename Each>
bool forEachMatch(const Compiled& compiled, const std::string& subject, bool global, Each each) {
    pcre2_match_data* data = pcre2_match_data_create_from_pattern(compiled.code, nullptr);
    pcre2_match_context* context = matchContext().context;
    const auto* text = reinterpret_cast<PCRE2_SPTR>(subject.data());
    Spans spans(compiled.captureCount + 1);
    size_t start = 0;
    bool ok = true;
    while (start <= subject.size()) {
        // The subject is always our own valid UTF-8, so the JIT entry, which skips the
        // checks of every call, is safe; an article can have hundreds of matches.
        const int rc =
            compiled.jitted
                ? pcre2_jit_match(compiled.code, text, subject.size(), start, 0, data, context)
                : pcre2_match(compiled.code, text, subject.size(), start, PCRE2_NO_UTF_CHECK, data, context);
        if (rc == PCRE2_ERROR_NOMATCH) break;
        if (rc < 0) {
            ok = false;
            break;
        }
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data);
        for (uint32_t g = 0; g <= compiled.captureCount; ++g) {
            spans[g] = g < static_cast<uint32_t>(rc) ? std::make_pair(ov[2 * g], ov[2 * g + 1])
                                                     : std::make_pair(PCRE2_UNSET, PCRE2_UNSET);
        }
        each(spans);
        if (!global) break;
        start = ov[1];
        if (ov[0] == ov[1]) {
            // After an empty match the search goes on one character further, as script
            // engines do (not by retrying here for a longer match, as Perl does).
            if (start >= subject.size()) break;
            ++start;
            while (start < subject.size() && (static_cast<unsigned char>(subject[start]) & 0xC0) == 0x80)
                ++start;
        }
    }
    pcre2_match_data_free(data);
    return ok;
}

std::string_view spanText(const std::string& subject, const std::pair<size_t, size_t>& span) {
    if (span.first == PCRE2_UNSET) return {};
    return std::string_view(subject).substr(span.first, span.second - span.first);
}

// Appends the replacement text for one match, with "$n", "$nn", "$&", "$`", "$'" and "$$".
void expandReplacement(std::string& out, const std::string& replacement, const std::string& subject,
                       const Spans& spans) {
    const size_t groups = spans.size() - 1;
    for (size_t i = 0; i < replacement.size(); ++i) {
        const char c = replacement[i];
        if (c != '$' || i + 1 >= replacement.size()) {
            out += c;
            continue;
        }
        const char n = replacement[i + 1];
        if (n == '$') {
            out += '$';
            ++i;
        } else if (n == '&') {
            out += spanText(subject, spans[0]);
            ++i;
        } else if (n == '`') {
            out.append(subject, 0, spans[0].first);
            ++i;
        } else if (n == '\'') {
            out.append(subject, spans[0].second);
            ++i;
        } else if (n >= '0' && n <= '9') {
            size_t index = n - '0';
            size_t used = 1;
            if (i + 2 < replacement.size() && replacement[i + 2] >= '0' && replacement[i + 2] <= '9') {
                const size_t two = index * 10 + (replacement[i + 2] - '0');
                if (two >= 1 && two <= groups) {
                    index = two;
                    used = 2;
                }
            }
            if (index >= 1 && index <= groups) {
                out += spanText(subject, spans[index]);
                i += used;
            } else {
                out += c; // not a group reference: the "$" stands for itself
            }
        } else {
            out += c;
        }
    }
}

} // namespace

struct RegexObject::Engine {
    std::shared_ptr<Compiled> compiled;
    std::string subject; // UTF-8 copy of the last execute()'s subject
};

RegexObject::RegexObject() : engine_(std::make_unique<Engine>()) {}
RegexObject::~RegexObject() = default;

Text RegexObject::escapePattern(const Text& text) {
    static const char special[] = "\\^$+.{}[]=()?*|\"";
    Text out = text;
    for (const char* c = special; *c; ++c) {
        const std::string one(1, *c);
        out = replaceText(out, one, "\\" + one);
    }
    return out;
}

bool RegexObject::setPattern(const Text& pattern, bool ignoreCase, bool multiLine, bool global) {
    const int32_t mask = (ignoreCase ? 1 : 0) | (multiLine ? 2 : 0) | (global ? 4 : 0);
    if (pattern == currentPattern_ && mask == flagMask_) return true;
    if (!pattern.empty()) currentPattern_ = pattern;
    flagMask_ = mask;
    compile();
    return true;
}

void RegexObject::compile() {
    ++compileCount_;
    // Without any pattern the object matches nothing, so a replace leaves its subject as it is.
    engine_->compiled = currentPattern_.empty() ? nullptr : compilePattern(currentPattern_, flagMask_);
}

int RegexObject::execute(const Text& subject) {
    return executeUtf8(toUtf8(subject));
}

int RegexObject::executeUtf8(std::string subject) {
    matches_.clear();
    const Compiled* compiled = engine_->compiled.get();
    if (!compiled || !compiled->code) return 0;
    std::string& utf8 = engine_->subject;
    utf8 = std::move(subject);
    std::vector<Match> found;
    const bool ok = forEachMatch(*compiled, utf8, flagMask_ & 4,
                                 [&](const Spans& spans) { found.push_back(Match{spans}); });
    if (ok) matches_ = std::move(found);
    return static_cast<int>(matches_.size());
}

int RegexObject::matchCount() const {
    return static_cast<int>(matches_.size());
}

Text RegexObject::subMatchText(int matchIndex, int groupIndex) const {
    if (matchIndex < 1 || matchIndex > static_cast<int>(matches_.size())) return {};
    const Match& m = matches_[matchIndex - 1];
    const size_t g = groupIndex <= 0 ? 0 : static_cast<size_t>(groupIndex);
    return g < m.groups.size() ? fromUtf8(spanText(engine_->subject, m.groups[g])) : Text();
}

Text RegexObject::replace(const Text& subject, const Text& replacement) {
    if (!engine_->compiled) return subject;
    const Compiled& compiled = *engine_->compiled;
    if (!compiled.code) return {};
    const std::string utf8 = toUtf8(subject);
    const std::string with = toUtf8(replacement);
    std::string out;
    out.reserve(utf8.size());
    size_t copied = 0;
    const bool ok = forEachMatch(compiled, utf8, flagMask_ & 4, [&](const Spans& spans) {
        out.append(utf8, copied, spans[0].first - copied);
        expandReplacement(out, with, utf8, spans);
        copied = spans[0].second;
    });
    if (!ok) return {};
    out.append(utf8, copied);
    return fromUtf8(out);
}

NumberDrawer::NumberDrawer() {
    seedRandom();
}

int32_t NumberDrawer::draw(int32_t low, int32_t high) {
    seedRandom();
    if (pool_.empty()) {
        for (int64_t v = low; v <= high; ++v)
            pool_.push_back(static_cast<int32_t>(v));
        if (pool_.empty()) return low;
    }
    const size_t at = static_cast<size_t>(randomBetween(1, static_cast<long long>(pool_.size()))) - 1;
    const int32_t value = pool_[at];
    pool_.erase(pool_.begin() + static_cast<long>(at));
    return value;
}

} // namespace lilan
