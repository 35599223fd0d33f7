// Link-check fixture: the lower layer. With CALL_UPWARD it calls the layer above, declaring the
// function itself instead of including its header, so that the include check sees nothing.
#include "low/low.h"

#ifdef CALL_UPWARD
int highValue();
#endif

int lowValue() {
#ifdef CALL_UPWARD
    return highValue() - 1;
#else
    return 1;
#endif
}
