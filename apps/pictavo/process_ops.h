// The operations of `pictavo process`.  Each subject registers its own
// operations from its own file with PICTAVO_PROCESS_OP, so the command grows
// without a central list:
//
//   PICTAVO_PROCESS_OP("negative", "", "invert every channel (24 and 1 bit)",
//                      [](ProcessContext& c, const ProcessArgs& a) {
//                        a.ExpectCount(0, 0);
//                        c.proc.Negative();
//                      });
//
// An operation receives the component attached to the working bitmap (the
// selection set by `select=` already applied) and its arguments as text.
// The ProcessArgs helpers parse and check them and throw ProcessArgError
// with a message naming the operation, which the command prints before
// exiting non-zero.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "apps/pictavo/registry.h"
#include "core/pvdefs.h"
#include "platform/bitmap.h"
#include "processing/pictavoproc.h"

namespace pictavo::cli {

class ProcessArgError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The arguments of one operation, `name=a,b,c`.
class ProcessArgs {
 public:
  ProcessArgs(std::string op, std::vector<std::string> values)
      : op_(std::move(op)), values_(std::move(values)) {}
  const std::string& Op() const { return op_; }
  size_t Count() const { return values_.size(); }
  const std::string& Text(size_t i) const;
  // Throws unless min <= Count() <= max.
  void ExpectCount(size_t min, size_t max) const;
  // A whole decimal number within lo..hi.
  int Int(size_t i, int lo, int hi) const;
  double Double(size_t i, double lo, double hi) const;
  // A colour "r:g:b" with each channel 0..255, or one number for all three.
  TRGB Colour(size_t i) const;
  // One of the given words; returns its index.
  int Choice(size_t i, const std::vector<std::string>& words) const;
  [[noreturn]] void Fail(const std::string& message) const;

 private:
  std::string op_;
  std::vector<std::string> values_;
};

// What an operation works on.
struct ProcessContext {
  TBitmap& bitmap;
  TPictavoProc& proc;
  // Lines an operation prints (count-colors) go to standard output.
  std::vector<std::string>& output;
};

using ProcessOpFn = void (*)(ProcessContext& context, const ProcessArgs& args);

struct ProcessOp {
  std::string name;
  std::string arguments;  // e.g. "r,g,b"; empty when none
  std::string description;
  ProcessOpFn run;
};

std::vector<ProcessOp>& ProcessOps();
const ProcessOp* FindProcessOp(const std::string& name);

struct ProcessOpRegistrar {
  ProcessOpRegistrar(const char* name, const char* arguments, const char* description,
                     ProcessOpFn run) {
    ProcessOps().push_back({name, arguments, description, run});
  }
};

}  // namespace pictavo::cli

// The function may be a capture-less lambda (commas inside it are fine).
#define PICTAVO_PROCESS_OP(name, arguments, description, ...)                                    \
  static ::pictavo::cli::ProcessOpRegistrar PICTAVO_CLI_CONCAT(process_op_registrar_, __LINE__)( \
      name, arguments, description, __VA_ARGS__)
