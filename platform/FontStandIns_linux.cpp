#include "platform/FontStandIns.h"

namespace korvel::platform {

FontStandIns DesignFontStandIns() {
    static constexpr const char* kMhei[] = {"WenQuanYi Micro Hei"};
    static constexpr const char* kSans[] = {"Liberation Sans"};
    return {kMhei, kSans, false};
}

const char* WindowPlatformByDefault() {
    return nullptr;
}

} // namespace korvel::platform
