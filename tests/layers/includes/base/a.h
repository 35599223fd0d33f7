// Include-check fixture (never compiled): the bottom layer, which includes nothing.
#pragma once
