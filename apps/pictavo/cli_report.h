// What the command line tells its user about files: the progress bar on a
// terminal, the reason of a failure (the component's LastError, else a
// generic message naming the file), the warnings of a load, and the reason
// a path cannot be an input image at all (missing, a folder, unreadable).
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "io/pictavoio.h"

namespace pictavo::cli {

// A progress line on standard error when it is a terminal (or when forced,
// for tests): "writing out.png [#####     ]  50%  3 s left".  Finish shows
// 100 % after a successful operation, whatever the codec reported last.
class ProgressBar {
 public:
  ProgressBar(const std::string& verb, const std::string& file);
  ~ProgressBar() { Done(); }
  void Attach(TPictavoIO& io);
  void Show(int percent);
  void Finish() { Show(100); }
  void Done();

 private:
  std::string label_;
  bool on_;
  bool shown_ = false;
  int last_ = -1;
  std::chrono::steady_clock::time_point start_;
};

// Where the progress bar is shown even when standard error is not a
// terminal: set by PICTAVO_PROGRESS=1.
bool ProgressForced();

// "pictavo: cannot <verb> <file>: <reason>" on standard error, the reason
// from the component's LastError or `fallback`.
void ReportFailure(const char* verb, const std::string& file, const TPictavoIO& io,
                   const std::string& fallback);
void ReportFailure(const char* verb, const std::string& file, const std::string& reason);

// "pictavo: warning: <file>: <warning>" for each warning of the last load.
void ReportWarnings(const std::string& file, const TPictavoIO& io);

// Why `path` cannot be read as an image before trying: it does not exist,
// is a folder or other non-regular file, or cannot be opened for reading.
std::optional<std::string> InputFileProblem(const std::string& path);

}  // namespace pictavo::cli
