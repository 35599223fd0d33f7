// Link-check fixture: the upper layer.
#pragma once

int highValue();
