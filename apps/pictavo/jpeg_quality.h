// The quality a JPEG file was written with, estimated from its quantisation
// tables: the quality 1..100 whose scaled standard tables come nearest to
// the file's.  `convert` keeps a JPEG source's quality this way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pictavo::cli {

// Nothing when the data holds no luminance table before the first scan.
std::optional<int> EstimateJpegQuality(const uint8_t* data, size_t size);
std::optional<int> EstimateJpegQualityOfFile(const std::string& path);

}  // namespace pictavo::cli
