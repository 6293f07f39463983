// `pictavo fields [FORMAT]`: every field --param can set, with its type,
// default and allowed values; FORMAT limits the list to one format's group.
#include <cctype>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "apps/pictavo/field_check.h"
#include "apps/pictavo/registry.h"

namespace pictavo::cli {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The group a FORMAT argument names: a group itself or a common extension.
std::string GroupOf(const std::string& format) {
  static const std::map<std::string, std::string> kAliases = {
      {"TIF", "TIFF"}, {"JPG", "JPEG"}, {"JPE", "JPEG"}, {"PBM", "PXM"},
      {"PGM", "PXM"},  {"PPM", "PXM"},  {"PNM", "PXM"},  {"DIB", "BMP"}};
  const std::string upper = Upper(format);
  auto alias = kAliases.find(upper);
  return alias != kAliases.end() ? alias->second : upper;
}

int RunFields(const std::vector<std::string>& args) {
  if (args.size() > 1) {
    std::fprintf(stderr, "usage: pictavo fields [FORMAT]\n");
    return 2;
  }
  const std::vector<FieldDescription> fields = SettableFields();
  const std::string group = args.empty() ? "" : GroupOf(args[0]);
  bool any = false;
  for (const FieldDescription& f : fields) {
    if (!group.empty() && Upper(f.group) != group) continue;
    if (!any) std::printf("%-22s %-12s %-16s %s\n", "field", "type", "default", "allowed values");
    any = true;
    std::printf("%-22s %-12s %-16s %s\n", f.name.c_str(), f.type.c_str(), f.defaultText.c_str(),
                f.allowed.empty() ? "any" : f.allowed.c_str());
  }
  if (any && (group.empty() || group == "JPEG"))
    std::printf(
        "\nconvert writes a JPEG at the source JPEG's quality, else at 90, unless "
        "--param JPEG_Quality is given.\n");
  if (!any) {
    std::string groups;
    for (const FieldDescription& f : fields)
      if (groups.find(f.group) == std::string::npos)
        groups += (groups.empty() ? "" : " ") + f.group;
    std::fprintf(stderr, "pictavo fields: no format \"%s\"; formats: %s\n", args[0].c_str(),
                 groups.c_str());
    return 2;
  }
  return 0;
}

PICTAVO_COMMAND("fields",
                "fields [FORMAT]  every --param field with type, default and allowed values",
                RunFields);

}  // namespace
}  // namespace pictavo::cli
