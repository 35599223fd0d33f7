// Include-check fixture (never compiled): system headers are not checked.
#pragma once

#include <vector>

#include "base/a.h"
