// Reading an input image for `convert`: from a file (by its extension when
// a reader knows it, else by content) or from standard input ("-", by
// content), with the reason of a failure kept for the message.
#pragma once

#include <optional>
#include <string>

#include "io/pictavoio.h"

namespace pictavo::cli {

inline constexpr const char* kStdStream = "-";

// Loads frame or page `index` (-1: the formats' default) of `path` into the
// bitmap `io` is attached to.  `stdinData` holds standard input when path is
// "-" (read once by the caller).  Returns the reason on failure.
std::optional<std::string> LoadInput(TPictavoIO& io, const std::string& path, int index,
                                     const std::string* stdinData);

// All of standard input.
std::string ReadStandardInput();

}  // namespace pictavo::cli
