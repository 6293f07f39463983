// Moved to core/replacefile.h; this header keeps older includes compiling.
#pragma once

#include "core/replacefile.h"
