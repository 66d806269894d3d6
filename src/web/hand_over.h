// The record through which the window thread and a fetch worker exchange one request and
// its reply, and the worker that performs it.
#pragma once

#include <atomic>
#include <string>

#include "text/text.h"

namespace lilan::web {

inline constexpr const char* kRequestMarker = "Tarvix";
inline constexpr const char* kReplyMarker = "Tarvix_OK";

// The request fields are filled by the caller; the worker empties the record and, when it
// has a reply, fills the reply fields and sets the marker to kReplyMarker.
struct HandOver {
    Text marker;
    // Request.
    Text address;
    Text method;
    Text proxy;
    Text userName;
    Text password;
    Text extraHeaders;
    Text body;
    // Reply.
    Text headers;
    std::string bodyBytes;
};

// Performs the request held in `record` (nothing when its marker is not kRequestMarker) and
// leaves the reply there. Gives up as soon as `cancelled` turns true, leaving no reply.
void requestWorker(HandOver& record, const std::atomic<bool>& cancelled);

// The header lines the request carries after libcurl's own: the caller's lines, then the
// Accept, Referer and Accept-Language lines they lack, then for a POST with a body its
// Content-Type (unless given) and Content-Length.
Text completeHeaders(const HandOver& request, bool post);

} // namespace lilan::web
