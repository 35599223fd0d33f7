// Link-check fixture: the lower layer.
#pragma once

int lowValue();
