// Placeholder until the song generator writes this file.
#include "assets/assets.h"

namespace ostrel {
const uint8_t builtinModule[] = {0};
const int32_t builtinModuleSize = 0;
}  // namespace ostrel
