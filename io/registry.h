// Moved to formats/registry.h; this header keeps older includes compiling.
#pragma once

#include "formats/registry.h"
