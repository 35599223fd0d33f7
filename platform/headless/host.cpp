// PLACEHOLDER: replaced by the headless backend.
#include "platform/platform.h"
