// Placeholder until the picture generator writes this file.
#include "assets/assets.h"

namespace ostrel {
const uint8_t closingPicture[] = {0};
const int32_t closingPictureSize = 0;
}  // namespace ostrel
