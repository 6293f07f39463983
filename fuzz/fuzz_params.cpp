// Fuzz target: the parameters file reader, which also reads the marker and
// IPTC stream forms, and the IPTC standard-buffer parser.
#include <cstddef>
#include <cstdint>

#include "formats/ioparams.h"
#include "platform/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pictavo::TReadOnlyMemoryStream stream(data, static_cast<int64_t>(size));
  pictavo::TIOParamsVals params;
  try {
    params.LoadFromStream(stream);
  } catch (const pictavo::Exception&) {
  }
  pictavo::TPVIPTCInfoList iptc;
  iptc.LoadFromStandardBuffer(data, static_cast<int64_t>(size));
  return 0;
}
