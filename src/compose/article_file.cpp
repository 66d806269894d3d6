#include "compose/article_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "compose/characters.h"
#include "text/encoding.h"
#include "text/platform.h"

namespace lilan {

namespace {

constexpr size_t kCommonNameLimit = 255;

// Bytes allowed in one name of the folder's file system; titles and sentences in UTF-8 reach
// the usual 255 quickly, and some file systems allow fewer. A run writes every article into
// the same folder, so the last answer is kept.
size_t nameLimit(const std::string& folderUtf8) {
    thread_local std::string lastFolder;
    thread_local size_t lastLimit = 0;
    if (lastLimit != 0 && folderUtf8 == lastFolder) return lastLimit;
    const long limit = ::pathconf(folderUtf8.c_str(), _PC_NAME_MAX);
    if (limit <= 0) return kCommonNameLimit; // asked again next time: the folder may not exist yet
    lastFolder = folderUtf8;
    lastLimit = static_cast<size_t>(limit);
    return lastLimit;
}

// Writes everything or reports the first error; the file is closed either way.
int writeAll(int fd, const Text& bytes) {
    int error = 0;
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            error = errno;
            break;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    // A full disk may only show when the file is closed.
    if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
    return error;
}

} // namespace

Text fitNameComponent(const Text& name, const Text& suffix, size_t limit) {
    const size_t suffixBytes = toUtf8(suffix).size();
    // No shortening can help then; the full name at least shows in the failure report.
    if (suffixBytes >= limit) return name;
    const size_t budget = limit - suffixBytes;
    if (toUtf8(name).size() <= budget) return name;
    size_t used = 0;
    size_t end = 0;
    while (end < name.size()) {
        const size_t length = characterLength(name, end);
        const size_t bytes = toUtf8(std::string_view(name).substr(end, length)).size();
        if (used + bytes > budget) break;
        used += bytes;
        end += length;
    }
    return name.substr(0, end);
}

ArticleFileOutcome writeArticleFile(const Form& form, const Text& name, const Text& bytes) {
    ArticleFileOutcome outcome;
    Text directory;
    size_t limit = 0;
    for (long long n = 0;; ++n) {
        if (Text now = form.text("编辑框保存文件夹") + "/"; now != directory || n == 0) {
            directory = std::move(now);
            limit = nameLimit(toUtf8(directory));
        }
        const Text suffix = (n == 0 ? Text() : integerToText(n)) + "." + form.text("编辑框文件扩展名");
        outcome.path = directory + fitNameComponent(name, suffix, limit) + suffix;
        const std::string pathUtf8 = toUtf8(outcome.path);
        // Exclusive creation is the test for a free name: anything already there under it (a
        // file, a folder, even a dangling link) is never overwritten, and the next number is tried.
        const int fd = ::open(pathUtf8.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            outcome.error = writeAll(fd, bytes);
            if (outcome.error != 0) ::unlink(pathUtf8.c_str());
            outcome.written = outcome.error == 0;
            return outcome;
        }
        if (errno != EEXIST) {
            outcome.error = errno;
            return outcome;
        }
        processEvents();
    }
}

} // namespace lilan
