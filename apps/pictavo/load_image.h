// The commands' one way to load an input image: by its extension when a
// reader knows it, otherwise (or when that load fails) by its content.
#pragma once

#include <optional>
#include <string>

#include "io/pictavoio.h"

namespace pictavo::cli {

// What LoadImageFile reports when no reader produced an image.
inline constexpr const char* kNotAnImage = "not a recognised image file or the file is damaged";

// Loads `path` into the bitmap `io` is attached to.  Returns nothing on
// success, else the reason: the exception's message (a missing or unreadable
// file) or kNotAnImage.
std::optional<std::string> LoadImageFile(TPictavoIO& io, const std::string& path);

}  // namespace pictavo::cli
