// The heat-map page's script, as the page carries it.
#pragma once

namespace lumera {

// Defines Start(page), which the page calls with its data (see WritePage), and what Start
// uses. Nothing runs until Start is called.
extern const char* const kPageScript;

}  // namespace lumera
