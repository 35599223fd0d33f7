// Include-check fixture (never compiled): the includes of low against the graph. Those on lines
// 3 and 11 are fine; every other one is reported with its line.
#include "low/l.h"
#include "high/h.h"
// #include "high/h.h" in a comment that starts the line is not an include.
#include "base/sub/b.h"
#include "l.h"
// clang-format off
  #  include   "high/h.h"
// clang-format on
#include "base/a.h"
