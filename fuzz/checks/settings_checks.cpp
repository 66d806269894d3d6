// Properties of the settings store on a file of arbitrary bytes and arbitrary operations.
#include "checks.h"
#include "input_reader.h"
#include "support.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "config/settings_file.h"
#include "text/encoding.h"

namespace lilan::fuzzing {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kToken = "\xA9\xAE*\xA9\xAE"; // "┊*┊"
constexpr int kMostOperations = 24;

std::string readWhole(const std::string& path) {
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "<unreadable>";
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<size_t>(n));
    ::close(fd);
    return bytes;
}

bool writeWhole(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ::close(fd);
    return ok;
}

// Names with which a value written must read back: no line break or bracket that could
// make a key line look like a header or a header like something else, and no "=" that
// could make one key's line another's.
bool isSimpleName(std::string_view name) {
    return name.find_first_of("\r\n[]=") == std::string_view::npos;
}

// Values the line-break token can carry both ways: the value must survive turning its
// line breaks into tokens and back (a "┊*" before a line break, for one, cannot).
bool survivesToken(const Text& value) {
    return replaceText(replaceText(value, kCrLf, kToken), kToken, kCrLf) == value;
}

class Session {
public:
    Session(const std::string& path, InputReader& input) : path_(path), input_(input) {}

    std::string run() {
        if (!store_.open(fromUtf8(path_))) return "the settings file could not be opened";
        if (std::string failure = fileMatches("open"); !failure.empty()) return failure;
        for (int i = 0; i < kMostOperations && !input_.empty(); ++i) {
            if (std::string failure = step(); !failure.empty()) return failure;
        }
        return {};
    }

private:
    std::string step() {
        switch (input_.byte() % 6) {
        case 0:
            store_.setSection(input_.field(10));
            return {};
        case 1:
            return writeText();
        case 2:
            return read([&](const Text& key) { return store_.readText(key, "default"); });
        case 3:
            return writeBool();
        case 4:
            return read([&](const Text& key) { return store_.readBool(key, true) ? "1" : "0"; });
        default:
            return reopen();
        }
    }

    std::string writeText() {
        const Text key = input_.field(10);
        const Text value = input_.field(40);
        store_.writeText(key, value);
        if (std::string failure = fileMatches("writeText"); !failure.empty()) return failure;
        if (!roundTrips(key) || !survivesToken(value)) return {};
        const Text back = store_.readText(key, "\x01");
        const Text expected = value.empty() ? Text("\x01") : value;
        if (back != expected)
            return "wrote " + shown(value) + " under " + shown(key) + " in " + shown(store_.section()) +
                   ", read back " + shown(back) + "; content " + shown(store_.content());
        return {};
    }

    std::string writeBool() {
        const Text key = input_.field(10);
        const bool flag = input_.byte() & 1;
        store_.writeBool(key, flag);
        if (std::string failure = fileMatches("writeBool"); !failure.empty()) return failure;
        if (roundTrips(key) && store_.readBool(key, !flag) != flag)
            return "truth value under " + shown(key) + " did not read back";
        return {};
    }

    template <typename Read> std::string read(Read readOne) {
        const Text key = input_.field(10);
        const Text before = store_.content();
        readOne(key);
        if (store_.content() != before) return "a read changed the memory copy";
        return fileMatches("read");
    }

    std::string reopen() {
        const Text before = store_.content();
        if (!store_.open(fromUtf8(path_))) return "the settings file could not be opened again";
        if (store_.content() != before) return "reopening loaded other bytes than were written";
        return fileMatches("reopen");
    }

    bool roundTrips(const Text& key) const { return isSimpleName(store_.section()) && isSimpleName(key); }

    std::string fileMatches(const char* after) const {
        const std::string onDisk = readWhole(path_);
        if (onDisk == store_.content()) return {};
        return std::string("after ") + after + " the file holds " + shown(onDisk) + " but the memory copy " +
               shown(store_.content());
    }

    std::string path_;
    InputReader& input_;
    SettingsFile store_;
};

} // namespace

std::string checkSettingsFile(std::string_view data, const std::string& folder) {
    InputReader input(data);
    const size_t length = (static_cast<size_t>(input.byte()) << 8 | input.byte()) % 1024;
    const std::string path = folder + "/settings.ini";
    if (!writeWhole(path, input.bytes(length))) return "the test file could not be written";
    return Session(path, input).run();
}

} // namespace lilan::fuzzing
