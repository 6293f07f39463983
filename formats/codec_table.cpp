#include "formats/codec_table.h"

#include <map>

namespace pictavo {

namespace {
std::map<int32_t, TBuiltinCodec>& Table() {
  static std::map<int32_t, TBuiltinCodec> table;
  return table;
}
}  // namespace

void PVRegisterBuiltinCodec(int32_t fileType, const TBuiltinCodec& codec) {
  Table()[fileType] = codec;
}

const TBuiltinCodec* PVBuiltinCodec(int32_t fileType) {
  auto it = Table().find(fileType);
  return it == Table().end() ? nullptr : &it->second;
}

}  // namespace pictavo
