#include "platform/FontStandIns.h"

namespace korvel::platform {

// Windows outside Taiwan has no Microsoft MHei, and its MS Sans Serif is a
// bitmap face that does not scale. The Debian faces come last: Wine shows the
// host's fonts, and a user may have installed them.
FontStandIns DesignFontStandIns() {
    static constexpr const char* kMhei[] = {"Microsoft YaHei", "Microsoft JhengHei",
                                            "WenQuanYi Micro Hei"};
    static constexpr const char* kSans[] = {"Arial", "Liberation Sans"};
    return {kMhei, kSans, true};
}

const char* WindowPlatformByDefault() {
    // GDI rounds each glyph's advance to whole pixels and widens the captions.
    return "windows:fontengine=freetype";
}

} // namespace korvel::platform
