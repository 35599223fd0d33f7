# The include check's fixture graph: base at the bottom, base/sub (a layer in a sub-folder of
# another) on it, low on base, high on low.
set(OSTREL_LAYERS base base_sub low high)
set(OSTREL_LAYER_base_FOLDER base)
set(OSTREL_LAYER_base_USES)
set(OSTREL_LAYER_base_sub_FOLDER base/sub)
set(OSTREL_LAYER_base_sub_USES base)
set(OSTREL_LAYER_low_FOLDER low)
set(OSTREL_LAYER_low_USES base)
set(OSTREL_LAYER_high_FOLDER high)
set(OSTREL_LAYER_high_USES low)
