// `pictavo info` for WMF and EMF files, which content detection does not
// recognise: MetafileParams fills the parameters an import would give.
#pragma once

#include <string>

#include "io/ioparams.h"

namespace pictavo::cli {

// For a file named .wmf or .emf that loads as a metafile: sets FileType (9
// or 10), Width and Height of the bitmap ImportMetafile(name, -1, -1) makes,
// 8 x 3 bits and the screen resolution, and returns true.  Otherwise false
// and nothing changes.
bool MetafileParams(const std::string& fileName, TIOParamsVals& params);

}  // namespace pictavo::cli
