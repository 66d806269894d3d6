// Reading a news page and the comment pages of its thread.
#pragma once

#include "compose/comment_record.h"
#include "core/shared_state.h"
#include "text/text.h"
#include "web/web_client.h"

namespace lilan {

// The thread id of the page an address line names (the line itself for a bare id), and the
// page's title into `currentTitle`. Empty when no id was found.
Text probeNewsPage(WebClient& web, const Text& line, bool bareThreadId, Text& currentTitle);

// Fetches the page of `threadId` after `lastCommentId`, appends the comments of at least
// `minimumLength` characters and advances `lastCommentId`. True when the page held records.
bool readCommentPage(WebClient& web, const Text& threadId, Text& lastCommentId, CommentList& comments,
                     long minimumLength);

// The same for a response already fetched.
bool parseCommentPage(const Text& body, Text& lastCommentId, CommentList& comments, long minimumLength);

// The pattern that cuts one record out of a decoded response: groups 1 to 4 are the id, the
// content, the nickname and the region.
const Text& commentRecordPattern();

// Decodes the escapes of a comment-service response: string-literal escapes, then %uXXXX
// and %XX, then back to local text. A body that would break a string literal gives "".
Text unescapeResponse(const Text& response);

// Gives every record a region, a nickname and a content drawn from the whole list.
void shuffleCommentFields(CommentList& comments, DrawPool& pool);

} // namespace lilan
