#include "module/module.h"

namespace ostrel {

// Fills instrument slots beyond sampleCount and stands in for a missing sample; only its
// finetune can change (through E5y). Never freed.
Sample emptySample = {};
// Stands in for an instrument number beyond instrumentCount. Never freed.
Instrument emptyInstrument = {};

}  // namespace ostrel
