// Link-check fixture: the upper layer, which calls the one below.
#include "high/high.h"

#include "low/low.h"

int highValue() {
    return lowValue() + 1;
}
