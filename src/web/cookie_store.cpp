#include "web/cookie_store.h"

#include <algorithm>

namespace lilan::web {

CookieStore& CookieStore::instance() {
    static CookieStore* store = new CookieStore();
    return *store;
}

void CookieStore::set(const Text& host, const Text& name, const Text& data) {
    const Text cookieName = trim(name);
    if (cookieName.empty()) return;
    const Text value = trim(data.substr(0, data.find(';')));
    std::lock_guard lock(mutex_);
    auto it = std::find_if(cookies_.begin(), cookies_.end(),
                           [&](const Cookie& c) { return c.host == host && c.name == cookieName; });
    if (it != cookies_.end()) {
        it->value = value;
    } else {
        cookies_.push_back({host, cookieName, value});
    }
}

Text CookieStore::headerFor(const Text& host) const {
    std::lock_guard lock(mutex_);
    Text header;
    for (const Cookie& c : cookies_) {
        if (c.host != host) continue;
        if (!header.empty()) header += "; ";
        header += c.name + "=" + c.value;
    }
    return header;
}

void CookieStore::clear() {
    std::lock_guard lock(mutex_);
    cookies_.clear();
}

} // namespace lilan::web
