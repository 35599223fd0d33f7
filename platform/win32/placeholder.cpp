// PLACEHOLDER: replaced by this backend's font build.
#include "visuals/text.h"

namespace ostrel {
int buildFonts(void*, const char*) { return 0; }
}  // namespace ostrel
