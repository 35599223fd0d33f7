// Include-check fixture (never compiled): the layer in base/sub may include base.
#pragma once

#include "base/a.h"
