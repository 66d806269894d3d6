// Writing an article into a new file, never over an existing one.
#pragma once

#include "text/form.h"
#include "text/text.h"

namespace lilan {

struct ArticleFileOutcome {
    bool written = false;
    Text path;     // local text; the path written, or the one that failed
    int error = 0; // errno of the failure
};

// Writes `bytes` to the first free path among folder/name.ext, folder/name1.ext, ... (folder
// and ext from the window's "编辑框保存文件夹" and "编辑框文件扩展名"); a file,
// directory or link of that name counts as occupied. `name` must already be a sanitised file
// name; it is shortened at a character boundary where the file system's limit on the length
// of a name would refuse it. A failed or partial write leaves no file behind.
// The folder and the extension are read from the window for every name tried, since the
// window handles its events between two tries.
ArticleFileOutcome writeArticleFile(const Form& form, const Text& name, const Text& bytes);

// `name` cut at a character boundary so that it and `suffix` together, in UTF-8, take at
// most `limit` bytes. Unchanged when even `suffix` alone does not fit.
Text fitNameComponent(const Text& name, const Text& suffix, size_t limit);

} // namespace lilan
