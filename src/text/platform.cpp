#include "text/platform.h"

#include "text/encoding.h"

namespace lilan {
namespace {

class SilentPlatform : public Platform {
public:
    void showMessage(const Text&, const Text&, MessageKind) override {}
};

SilentPlatform silent;
Platform* installed = &silent;

} // namespace

Platform& platform() {
    return *installed;
}

Platform* installPlatform(Platform* p) {
    Platform* previous = installed == &silent ? nullptr : installed;
    installed = p ? p : &silent;
    return previous;
}

const Text& infoTitle() {
    static const Text title = local("信息：");
    return title;
}

const Text& programTitle() {
    static const Text title = local("栎岚：");
    return title;
}

} // namespace lilan
