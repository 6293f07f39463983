// The --param fields as the command line offers them: their type, default
// and allowed values (`pictavo fields`), the range a number must lie in,
// and the nearest names for a misspelt field.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "formats/ioparams.h"

namespace pictavo::cli {

struct FieldDescription {
  std::string name;
  std::string group;  // the format it belongs to ("General", "JPEG", ...)
  std::string type;   // "integer", "number", "boolean", "text", "R,G,B", "enumeration"
  std::string defaultText;
  std::string allowed;  // members of an enumeration or a numeric range; empty when any value
};

// Every field a --param can set, in the order of the parameter list.
std::vector<FieldDescription> SettableFields();

// Up to three field names nearest to `name` (case ignored, small edit
// distance), nearest first.
std::vector<std::string> NearestFieldNames(const std::string& name);

// Sets FIELD=VALUE on `p` after checking the name and the range; returns
// the message of the refusal ("unknown field ... did you mean ...",
// "JPEG_Quality must be 1 to 100, got 500") or nothing on success.
std::optional<std::string> SetCheckedField(TIOParamsVals& p, const std::string& field,
                                           const std::string& value);

}  // namespace pictavo::cli
