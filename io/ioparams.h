// Moved to formats/ioparams.h; this header keeps older includes compiling.
#pragma once

#include "formats/ioparams.h"
