// What the visuals take from the shell and the window backend, supplied by the tests: a frame
// clock whose time the tests set, and a buffer swap that only counts.
#pragma once

namespace ostrel::testhost {

extern int swapCount;

} // namespace ostrel::testhost
