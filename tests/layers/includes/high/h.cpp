// Include-check fixture (never compiled): high may include base through low.
#include "high/h.h"

#include "base/a.h"
