// Moved to formats/codec_table.h; this header keeps older includes compiling.
#pragma once

#include "formats/codec_table.h"
