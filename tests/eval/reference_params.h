// A fixed weight text for evaluation tests whose expected scores are
// worked out by hand.
#pragma once

extern const char reference_param_text[];
