// Turning names into file names and creating the folders of a path.
#include <sys/stat.h>

#include <cerrno>

#include "compose/article.h"
#include "compose/characters.h"
#include "text/encoding.h"

namespace lilan {

namespace {

bool pathExists(const Text& path) {
    struct stat info {};
    return ::stat(toUtf8(path).c_str(), &info) == 0;
}

// Characters a file name cannot hold on the desktop the program was made for, and the
// full-width forms that look the same in the name.
const TextList& reservedCharacters() {
    static const TextList reserved = {"\\", "/", ":", "*", "?", "|", "<", ">"};
    return reserved;
}
const TextList& fullWidthForms() {
    static const TextList forms = {local("＼"), local("／"), local("："), local("＊"),
                                   local("？"), local("｜"), local("＜"), local("＞")};
    return forms;
}

// Line breaks and tabs are gone already; any other control character (a NUL above all,
// which would cut the path short) has no business in a file name either.
Text removeControlCharacters(const Text& name) {
    Text kept;
    kept.reserve(name.size());
    for (size_t i = 0; i < name.size();) {
        const size_t length = characterLength(name, i);
        const auto c = static_cast<unsigned char>(name[i]);
        if (length > 1 || (c >= 0x20 && c != 0x7F)) kept.append(name, i, length);
        i += length;
    }
    return kept;
}

// A name of dots alone would, with an empty extension, name the folder itself or its
// parent; full-width dots keep the look without the meaning.
Text defuseDotsOnly(const Text& name) {
    if (name.empty() || name.find_first_not_of('.') != Text::npos) return name;
    static const Text fullWidthDot = local("．");
    Text defused;
    for (size_t i = 0; i < name.size(); ++i)
        defused += fullWidthDot;
    return defused;
}

} // namespace

Text sanitizeFileName(const Text& name) {
    Text result = name;
    const TextList& reserved = reservedCharacters();
    const TextList& forms = fullWidthForms();
    for (size_t i = 0; i < reserved.size(); ++i)
        result = replaceText(result, reserved[i], forms[i]);
    for (const char* unwanted : {"\"", "\r\n", "\r", "\n", "\t"})
        result = replaceText(result, unwanted, "");
    return defuseDotsOnly(removeControlCharacters(result));
}

bool makeDirectoryPath(const Text& path) {
    // Called for every article: when the deepest folder is there, so is every folder above it.
    if (const long last = findLast(path, "/");
        last > 1 && pathExists(path.substr(0, static_cast<size_t>(last - 1))))
        return true;
    for (long slash = findText(path, "/"); slash > 0; slash = findText(path, "/", slash + 1)) {
        // The part before a leading "/" is the root, which is always there.
        const Text part = path.substr(0, static_cast<size_t>(slash - 1));
        if (part.empty() || pathExists(part)) continue;
        if (::mkdir(toUtf8(part).c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return true;
}

} // namespace lilan
