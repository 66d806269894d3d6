// The fetcher's cookie store: cookies received from a host are sent back on later requests
// to the same host, from any thread, for the life of the process.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "text/text.h"

namespace lilan::web {

class CookieStore {
public:
    // The one store of the process. It is never destroyed, so a worker that is still
    // finishing at exit cannot touch a dead object.
    static CookieStore& instance();

    // `data` is the cookie's value followed by its attributes ("v; path=/"); the value is
    // what goes back to the host. A cookie of the same name is replaced.
    void set(const Text& host, const Text& name, const Text& data);
    // "a=1; b=2" for the host, empty when it has none.
    Text headerFor(const Text& host) const;
    void clear();

private:
    struct Cookie {
        Text host;
        Text name;
        Text value;
    };
    mutable std::mutex mutex_;
    std::vector<Cookie> cookies_;
};

} // namespace lilan::web
