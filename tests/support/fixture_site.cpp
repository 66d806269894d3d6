#include "support/fixture_site.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <curl/curl.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "text/encoding.h"

#ifndef LILAN_FIXTURE_SERVER
#error "LILAN_FIXTURE_SERVER must name tools/fixture-site/server.py"
#endif

namespace lilan::testing {

namespace {

constexpr auto kStartLimit = std::chrono::seconds(30);
constexpr long kControlTimeoutSeconds = 60;

// ---- base64 --------------------------------------------------------------------------

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// ---- JSON: just enough to talk to the control interface ------------------------------

// A JSON string. With `bytesAsCharacters`, bytes of 0x80 and above go out as \u00XX: the
// server reads such strings as one character per byte, which keeps raw paths (e.g. GBK
// bytes) intact. Otherwise the text is UTF-8 and goes out as it is, with only the characters
// JSON requires escaped.
std::string jsonString(const std::string& text, bool bytesAsCharacters) {
    static const char* hex = "0123456789abcdef";
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || (bytesAsCharacters && c >= 0x7f)) {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string jsonBytes(const std::string& bytes) {
    return jsonString(bytes, true);
}
std::string jsonUtf8(const std::string& utf8) {
    return jsonString(utf8, false);
}

struct JsonValue {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    std::string text; // string contents, or the number's spelling
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    const JsonValue* member(const std::string& name) const {
        for (const auto& [key, value] : members)
            if (key == name) return &value;
        return nullptr;
    }
};

void appendUtf8(std::string& out, unsigned long cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xc0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xe0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    }
}

// The control interface answers in ASCII and writes request bytes as \u0000..\u00ff, one
// character per byte; those come back as the bytes they were. Wider characters (which the
// server does not send for requests) become UTF-8.
class JsonReader {
public:
    explicit JsonReader(const std::string& text) : text_(text) {}

    JsonValue document() {
        JsonValue value = parseValue();
        skipSpace();
        if (pos_ != text_.size()) fail("trailing characters");
        return value;
    }

private:
    [[noreturn]] void fail(const char* what) const {
        throw std::runtime_error(std::string("fixture site: bad JSON (") + what + ") at " +
                                 std::to_string(pos_));
    }
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    static bool isNumberChar(char c) {
        return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E';
    }
    static int hexValue(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }
    void skipSpace() {
        while (pos_ < text_.size() && isSpace(text_[pos_]))
            ++pos_;
    }
    bool take(char c) {
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    void expect(char c) {
        if (!take(c)) fail("unexpected character");
    }
    bool takeWord(const char* word) {
        size_t n = std::strlen(word);
        if (text_.compare(pos_, n, word) != 0) return false;
        pos_ += n;
        return true;
    }

    JsonValue parseValue() {
        skipSpace();
        if (pos_ >= text_.size()) fail("unexpected end");
        JsonValue value;
        char c = text_[pos_];
        if (c == '{') {
            value.kind = JsonValue::Object;
            ++pos_;
            if (take('}')) return value;
            do {
                skipSpace();
                std::string key = parseString();
                expect(':');
                value.members.emplace_back(std::move(key), parseValue());
            } while (take(','));
            expect('}');
        } else if (c == '[') {
            value.kind = JsonValue::Array;
            ++pos_;
            if (take(']')) return value;
            do
                value.items.push_back(parseValue());
            while (take(','));
            expect(']');
        } else if (c == '"') {
            value.kind = JsonValue::String;
            value.text = parseString();
        } else if (takeWord("true")) {
            value.kind = JsonValue::Bool;
            value.text = "true";
        } else if (takeWord("false")) {
            value.kind = JsonValue::Bool;
            value.text = "false";
        } else if (takeWord("null")) {
            value.kind = JsonValue::Null;
        } else {
            size_t start = pos_;
            while (pos_ < text_.size() && isNumberChar(text_[pos_]))
                ++pos_;
            if (start == pos_) fail("unexpected character");
            value.kind = JsonValue::Number;
            value.text = text_.substr(start, pos_ - start);
        }
        return value;
    }

    unsigned long hex4() {
        if (pos_ + 4 > text_.size()) fail("short \\u escape");
        unsigned long v = 0;
        for (int i = 0; i < 4; ++i) {
            int d = hexValue(text_[pos_++]);
            if (d < 0) fail("bad \\u escape");
            v = v * 16 + static_cast<unsigned long>(d);
        }
        return v;
    }

    std::string parseString() {
        if (pos_ >= text_.size() || text_[pos_] != '"') fail("string expected");
        ++pos_;
        std::string out;
        while (true) {
            if (pos_ >= text_.size()) fail("unterminated string");
            char c = text_[pos_++];
            if (c == '"') return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) fail("unterminated escape");
            char e = text_[pos_++];
            switch (e) {
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned long cp = hex4();
                if (cp >= 0xd800 && cp < 0xdc00 && text_.compare(pos_, 2, "\\u") == 0) {
                    pos_ += 2;
                    unsigned long low = hex4();
                    if (low < 0xdc00 || low > 0xdfff) fail("lone surrogate");
                    cp = 0x10000 + ((cp - 0xd800) << 10) + (low - 0xdc00);
                }
                if (cp < 0x100)
                    out += static_cast<char>(cp);
                else
                    appendUtf8(out, cp);
                break;
            }
            default: out += e; break; // \" \\ \/
            }
        }
    }

    const std::string& text_;
    size_t pos_ = 0;
};

// ---- HTTP for the control calls ------------------------------------------------------

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t collect(char* data, size_t size, size_t count, void* sink) {
    static_cast<std::string*>(sink)->append(data, size * count);
    return size * count;
}

struct CurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

std::string controlCall(const std::string& url, const std::string& method, const std::string& json) {
    initCurlOnce();
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) throw std::runtime_error("fixture site: curl_easy_init failed");
    std::string answer;
    curl_slist* rawList = curl_slist_append(nullptr, "Content-Type: application/json");
    std::unique_ptr<curl_slist, SlistDeleter> headers(rawList);
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    // The control calls go straight to the site even while a test routes traffic through it.
    curl_easy_setopt(c, CURLOPT_PROXY, "");
    curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, kControlTimeoutSeconds);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &answer);
    if (method == "POST") {
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, json.data());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(json.size()));
    }
    CURLcode rc = curl_easy_perform(c);
    if (rc != CURLE_OK) throw std::runtime_error("fixture site: " + url + ": " + curl_easy_strerror(rc));
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200)
        throw std::runtime_error("fixture site: " + url + " answered " + std::to_string(status) + ": " +
                                 answer);
    return answer;
}

// ---- the server process --------------------------------------------------------------

// Reads the first line the server prints, "PORT <n>", within the start limit.
int readPortLine(int fd) {
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (line.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0) return -1;
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return -1;
        char buffer[256];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return -1; // the server ended before it said where it listens
        line.append(buffer, static_cast<size_t>(n));
    }
    line.resize(line.find('\n'));
    if (line.rfind("PORT ", 0) != 0) return -1;
    char* end = nullptr;
    long port = std::strtol(line.c_str() + 5, &end, 10);
    return (port > 0 && port < 65536 && end && *end == '\0') ? static_cast<int>(port) : -1;
}

bool reaped(pid_t pid, std::chrono::milliseconds within) {
    auto deadline = std::chrono::steady_clock::now() + within;
    while (true) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

std::string base64Encode(const std::string& bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                     (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                     static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::optional<std::string> base64Decode(const std::string& text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        int pad = (text[i + 3] == '=') + (text[i + 2] == '=' && text[i + 3] == '=');
        if (pad > 0 && i + 4 != text.size()) return std::nullopt;
        unsigned v = 0;
        for (int k = 0; k < 4 - pad; ++k) {
            int d = base64Value(text[i + k]);
            if (d < 0) return std::nullopt;
            v |= static_cast<unsigned>(d) << (18 - 6 * k);
        }
        out += static_cast<char>(v >> 16);
        if (pad < 2) out += static_cast<char>((v >> 8) & 255);
        if (pad < 1) out += static_cast<char>(v & 255);
    }
    return out;
}

std::string RecordedRequest::header(const std::string& name) const {
    for (const auto& [key, value] : headers)
        if (equalsIgnoringCase(key, name)) return value;
    return {};
}

bool RecordedRequest::hasHeader(const std::string& name) const {
    for (const auto& entry : headers)
        if (equalsIgnoringCase(entry.first, name)) return true;
    return false;
}

FixtureSite::FixtureSite() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("fixture site: pipe failed");
    // Everything the child needs is prepared before fork: after it, only exec-safe calls.
    const char* argv[] = {"python3", LILAN_FIXTURE_SERVER, "--port", "0", nullptr};
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        throw std::runtime_error("fixture site: fork failed");
    }
    if (pid == 0) {
        // The server must not outlive a test binary that crashes or is killed.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        dup2(fds[1], STDOUT_FILENO);
        execvp("python3", const_cast<char* const*>(argv));
        _exit(127);
    }
    close(fds[1]);
    pid_ = pid;
    port_ = readPortLine(fds[0]);
    close(fds[0]);
    if (port_ <= 0) {
        stop();
        throw std::runtime_error(std::string("fixture site: ") + LILAN_FIXTURE_SERVER + " did not start");
    }
}

FixtureSite::~FixtureSite() {
    stop();
}

void FixtureSite::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    if (!reaped(pid_, std::chrono::seconds(5))) {
        kill(pid_, SIGKILL);
        reaped(pid_, std::chrono::seconds(5));
    }
    pid_ = -1;
}

std::string FixtureSite::base() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::string FixtureSite::control(const std::string& method, const std::string& name,
                                 const std::string& json) {
    return controlCall(base() + "/__fixture/" + name, method, json);
}

void FixtureSite::setPage(const std::string& path, const std::string& bodyBytes,
                          const std::string& contentType, int status, const std::string& host) {
    std::string json = "{\"path\":" + jsonBytes(path) + ",\"status\":" + std::to_string(status) +
                       ",\"headers\":[[\"Content-Type\"," + jsonBytes(contentType) + "]],\"body_base64\":\"" +
                       base64Encode(bodyBytes) + "\"";
    if (!host.empty()) json += ",\"host\":" + jsonBytes(host);
    control("POST", "page", json + "}");
}

void FixtureSite::setThread(const std::string& id, const std::vector<FixtureComment>& comments) {
    std::string json = "{\"id\":" + jsonBytes(id) + ",\"comments\":[";
    for (size_t i = 0; i < comments.size(); ++i) {
        const FixtureComment& c = comments[i];
        if (i) json += ',';
        json += "{\"id\":" + jsonBytes(c.id) + ",\"content\":" + jsonUtf8(c.content) +
                ",\"nick\":" + jsonUtf8(c.nick) + ",\"region\":" + jsonUtf8(c.region) + "}";
    }
    control("POST", "thread", json + "]}");
}

void FixtureSite::setRawThreadPages(const std::string& id, const std::vector<std::string>& rawBodies) {
    std::string json = "{\"id\":" + jsonBytes(id) + ",\"raw_base64\":[";
    for (size_t i = 0; i < rawBodies.size(); ++i) {
        if (i) json += ',';
        json += "\"" + base64Encode(rawBodies[i]) + "\"";
    }
    control("POST", "thread", json + "]}");
}

std::vector<RecordedRequest> FixtureSite::requests() {
    JsonValue list = JsonReader(control("GET", "requests", "")).document();
    std::vector<RecordedRequest> out;
    for (const JsonValue& item : list.items) {
        RecordedRequest request;
        if (const JsonValue* v = item.member("method")) request.method = v->text;
        if (const JsonValue* v = item.member("target")) request.target = v->text;
        if (const JsonValue* v = item.member("headers"))
            for (const JsonValue& pair : v->items)
                if (pair.items.size() == 2)
                    request.headers.emplace_back(pair.items[0].text, pair.items[1].text);
        if (const JsonValue* v = item.member("body_base64")) {
            std::optional<std::string> body = base64Decode(v->text);
            if (!body) throw std::runtime_error("fixture site: a recorded body is not base64");
            request.body = *body;
        }
        out.push_back(std::move(request));
    }
    return out;
}

void FixtureSite::reset() {
    control("POST", "reset", "{}");
}

ScopedProxy::ScopedProxy(const FixtureSite& site) {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "no_proxy", "NO_PROXY"}) {
        const char* value = std::getenv(name);
        saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    setenv("http_proxy", site.base().c_str(), 1);
    setenv("HTTP_PROXY", site.base().c_str(), 1);
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
}

ScopedProxy::~ScopedProxy() {
    for (const auto& [name, value] : saved_) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
}

std::string newsPageBytes(const std::string& titleUtf8, const std::string& idLine) {
    return fromUtf8("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />"
                    "<title>" +
                    titleUtf8 + "_新闻_腾讯网</title></head><body><script>" + idLine +
                    "</script></body></html>");
}

} // namespace lilan::testing
