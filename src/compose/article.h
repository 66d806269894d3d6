// Cleaning, assembling, naming and writing articles.
#pragma once

#include "text/form.h"
#include "text/regex.h"
#include "text/text.h"

namespace lilan {

// What the article writer needs to know of the run it serves.
struct ArticleContext {
    Text title;                   // the current news title
    bool previewOnly = false;     // show the article instead of writing it
    bool failureReported = false; // set once a failed write has been reported in this run
};

struct ArticleResult {
    Text name;         // the article's name, unsanitised
    bool made = false; // written to a file, or shown in preview
};

// Removes addresses and mark-up, applies the user's replacements and the comma entity, as
// the window's replacement settings say at this moment.
Text cleanBody(const Form& form, const Text& body, RegexObject& regex);

// Cleans `article` (the body on entry), wraps it in head and tail, replaces "#标题#", and
// shows or writes it. On return `article` holds the finished article.
ArticleResult writeArticle(const Form& form, Text& article, ArticleContext& context);

// Creates every missing folder before the last "/" of `path`.
bool makeDirectoryPath(const Text& path);

// `name` with path and control characters made harmless for a file name.
Text sanitizeFileName(const Text& name);

// A random sentence-like piece of at least ten characters of `article`, or a shorter one
// when none is that long.
Text pickRandomSentence(const Text& article);

} // namespace lilan
