#include "config/settings_file.h"

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

#include "text/encoding.h"
#include "text/platform.h"

namespace lilan {
namespace {

constexpr std::string_view kCrLf = "\r\n";
// "┊*┊" in the local code page; spelled as bytes so that it cannot depend on a conversion.
constexpr std::string_view kLineBreakToken = "\xA9\xAE*\xA9\xAE";
// The most headers one write appends before it gives up on the section.
constexpr int kMaxAppends = 10;

const Text& trueText() {
    static const Text t = local("真");
    return t;
}

const Text& falseText() {
    static const Text t = local("假");
    return t;
}

// Reads the whole file; empty when it is missing or cannot be read.
Text loadFile(const std::string& fsPath) {
    const int fd = ::open(fsPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    Text bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            bytes.clear();
            break;
        }
    }
    ::close(fd);
    return bytes;
}

bool writeAll(int fd, std::string_view bytes, off_t offset) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    return true;
}

} // namespace

SettingsFile::~SettingsFile() {
    closeFile();
}

void SettingsFile::closeFile() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool SettingsFile::open(const Text& path) {
    closeFile();
    content_.clear();
    path_ = path;
    staleFrom_.reset();
    lastErrno_ = 0;

    const std::string fsPath = toUtf8(path);
    content_ = loadFile(fsPath);
    // No O_TRUNC: the file keeps what it holds. A file the program cannot write (a read-only
    // folder, a directory in its place) leaves the store working from memory.
    fd_ = ::open(fsPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        lastErrno_ = errno;
        return false;
    }
    return true;
}

bool SettingsFile::writable() const {
    return fd_ >= 0 && !staleFrom_;
}

Text SettingsFile::lastError() const {
    if (writable()) return {};
    if (lastErrno_ == 0) return local("配置文件尚未打开，设置无法保存。");
    const std::string reason = std::error_code(lastErrno_, std::generic_category()).message();
    return local("配置文件“") + path_ + local("”无法写入：") + fromUtf8(reason);
}

bool SettingsFile::syncFrom(std::size_t from) {
    if (fd_ < 0) return false;
    if (staleFrom_ && *staleFrom_ < from) from = *staleFrom_;
    if (from > content_.size()) from = content_.size();
    const std::string_view tail = std::string_view(content_).substr(from);
    if (!writeAll(fd_, tail, static_cast<off_t>(from)) ||
        ::ftruncate(fd_, static_cast<off_t>(content_.size())) != 0) {
        lastErrno_ = errno;
        staleFrom_ = from;
        return false;
    }
    staleFrom_.reset();
    lastErrno_ = 0;
    return true;
}

long SettingsFile::locateSection(const Text& section, long& pos) {
    for (;;) {
        processEvents();
        // Everything below is computed after the events ran, from the content as it is now.
        const Text header = "[" + section + "]";
        const long p = findText(content_, header, pos == 0 ? 1 : pos);
        if (p < 0) return 0;
        const bool atLineStart = p == 1 || (p >= 3 && content_[p - 3] == '\r' && content_[p - 2] == '\n');
        if (!atLineStart) {
            pos = p + 1;
            continue;
        }
        return p + static_cast<long>(header.size()) - 1;
    }
}

std::optional<SettingsFile::ValueSpan> SettingsFile::locateKey(long headerEnd, const Text& key) const {
    const long k = findText(content_, Text(kCrLf) + key + "=", headerEnd);
    if (k < 0) return std::nullopt;
    const long keyStart = k + 2;

    // The key line belongs to this section only when no other header line stands between.
    long a = headerEnd + 1;
    for (;;) {
        const long h = findText(content_, "\r\n[", a);
        if (h < 0 || h >= keyStart - 1) break;
        a = h + 2;
        const long c = findText(content_, "]\r\n", a);
        if (c < 0) continue;
        if (c > keyStart - 1) break;
        const std::string_view candidate = std::string_view(content_).substr(a - 1, c - a + 1);
        if (candidate.find(kCrLf) == std::string_view::npos) return std::nullopt;
    }

    const long start = keyStart + static_cast<long>(key.size()) + 1;
    const long lineEnd = findText(content_, kCrLf, start);
    const long end = lineEnd < 0 ? static_cast<long>(content_.size()) : lineEnd - 1;
    return ValueSpan{start, end};
}

Text SettingsFile::readStored(const Text& key, const Text& defaultValue) {
    const Text section = section_;
    long pos = 0;
    const long headerEnd = locateSection(section, pos);
    if (headerEnd == 0) return defaultValue;
    const auto span = locateKey(headerEnd, key);
    if (!span || span->end < span->start) return defaultValue;
    return content_.substr(span->start - 1, span->end - span->start + 1);
}

bool SettingsFile::writeStored(const Text& key, const Text& value) {
    // The section is fixed for the whole write, even if an event handler running inside it
    // selects another one.
    const Text section = section_;
    long pos = 0;
    int appends = 0;
    for (;;) {
        const long headerEnd = locateSection(section, pos);
        if (headerEnd == 0) {
            const std::size_t at = content_.size();
            pos = static_cast<long>(at);
            content_ += (at == 0 ? Text() : Text(kCrLf)) + "[" + section + "]";
            syncFrom(at);
            if (++appends > kMaxAppends) {
                platform().showMessage(local("配置模块出现意外，可能导致无法正常保存！详情请咨询栎岚。"),
                                       programTitle(), MessageKind::Warning);
                platform().showMessage(content_, infoTitle(), MessageKind::Information);
                return false;
            }
            continue;
        }
        if (const auto span = locateKey(headerEnd, key)) {
            const std::size_t at = static_cast<std::size_t>(span->start - 1);
            content_.replace(at, static_cast<std::size_t>(span->end - span->start + 1), value);
            return syncFrom(at);
        }
        // A new key line goes directly under the header; the next pass fills in its value.
        // When no CR LF follows the "]" (a file with LF line ends, a note after the header),
        // the new empty value would run on over those bytes and the value written next would
        // replace them all; a line break of its own keeps them.
        const std::size_t at = static_cast<std::size_t>(headerEnd);
        Text line = Text(kCrLf) + key + "=";
        if (at < content_.size() && content_.compare(at, kCrLf.size(), kCrLf) != 0) line += kCrLf;
        content_.insert(at, line);
        syncFrom(at);
    }
}

bool SettingsFile::writeText(const Text& key, const Text& value) {
    return writeStored(key, replaceText(value, kCrLf, kLineBreakToken));
}

Text SettingsFile::readText(const Text& key, const Text& defaultValue) {
    // The default takes the same way back as a stored value, so a token in it reads as a
    // line break too.
    const Text stored = readStored(key, Text());
    return replaceText(stored.empty() ? defaultValue : stored, kLineBreakToken, kCrLf);
}

bool SettingsFile::writeBool(const Text& key, bool flag) {
    return writeStored(key, flag ? trueText() : falseText());
}

bool SettingsFile::readBool(const Text& key, bool defaultValue) {
    return readStored(key, defaultValue ? trueText() : falseText()) == trueText();
}

bool SettingsFile::saveCheckedState(Form& form, const char* control) {
    return writeBool(form.text(control), form.isChecked(control));
}

bool SettingsFile::loadCheckedState(Form& form, const char* control) {
    const Text caption = form.text(control);
    form.setChecked(control, readBool(caption, form.isChecked(control)));
    return form.isChecked(control);
}

} // namespace lilan
