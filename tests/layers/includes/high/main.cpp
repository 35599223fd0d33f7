// Include-check fixture (never compiled): an entry point may include anything.
#include "tools/anything.h"
