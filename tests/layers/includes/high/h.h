// Include-check fixture (never compiled): high uses low.
#pragma once

#include "low/l.h"
