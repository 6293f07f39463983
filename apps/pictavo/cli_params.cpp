// `pictavo params FILE`: prints a parameters file in readable form.
#include <cstdio>
#include <string>
#include <vector>

#include "apps/pictavo/registry.h"
#include "formats/ioparams.h"
#include "platform/exceptions.h"

namespace pictavo::cli {
namespace {

// Every field of the list, one line each; the description follows the file type.
void Print(const TIOParamsVals& p) {
  PVFieldsLines(p, PVIOParamsFields(), [&](const std::string& name, const std::string& text) {
    std::printf("%-24s %s\n", name.c_str(), text.c_str());
    if (name == "FileType") std::printf("%-24s %s\n", "Description", p.GetFileTypeStr().c_str());
  });
}

int RunParams(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: pictavo params FILE\n");
    return 2;
  }
  TIOParamsVals params;
  try {
    params.LoadFromFile(args[0]);
  } catch (const Exception& e) {
    std::fprintf(stderr, "cannot read parameters file %s: %s\n", args[0].c_str(), e.what());
    return 1;
  }
  Print(params);
  return 0;
}

PICTAVO_COMMAND("params", "params FILE  print a parameters file in readable form", RunParams);

}  // namespace
}  // namespace pictavo::cli
