// Per-format details of `pictavo info`: a codec's command-line file registers
// a function that adds "field: value" pairs for files of its type (frame
// lists, comments, hot spots, markers, ...).  `info` prints them as text or
// JSON after the common fields.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "apps/pictavo/info_value.h"
#include "apps/pictavo/registry.h"
#include "io/ioparams.h"

namespace pictavo::cli {

using InfoDetailsFn = void (*)(const std::string& fileName, TIOParamsVals& params,
                               InfoFields& fields);

struct InfoDetails {
  int fileType;
  InfoDetailsFn fn;
};

std::vector<InfoDetails>& InfoDetailsList();

struct InfoDetailsRegistrar {
  InfoDetailsRegistrar(int fileType, InfoDetailsFn fn) {
    InfoDetailsList().push_back({fileType, fn});
  }
};

}  // namespace pictavo::cli

#define PICTAVO_INFO_DETAILS(fileType, fn)                                                \
  static ::pictavo::cli::InfoDetailsRegistrar PICTAVO_CLI_CONCAT(info_details_registrar_, \
                                                                 __LINE__)(fileType, fn)
