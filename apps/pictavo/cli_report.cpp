#include "apps/pictavo/cli_report.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace pictavo::cli {
namespace {

constexpr int kBarWidth = 30;
// The time left is shown once the work has run this long.
constexpr double kShowTimeLeftAfter = 1.0;

}  // namespace

bool ProgressForced() {
  const char* v = std::getenv("PICTAVO_PROGRESS");
  return v && std::strcmp(v, "1") == 0;
}

ProgressBar::ProgressBar(const std::string& verb, const std::string& file)
    : label_(verb + " " + file),
      on_(isatty(2) == 1 || ProgressForced()),
      start_(std::chrono::steady_clock::now()) {}

void ProgressBar::Attach(TPictavoIO& io) {
  if (on_) io.OnProgress = [this](TObject*, int per) { Show(per); };
}

void ProgressBar::Show(int per) {
  per = per < 0 ? 0 : per > 100 ? 100 : per;
  if (!on_ || per == last_) return;
  last_ = per;
  const int filled = per * kBarWidth / 100;
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::string left;
  if (per > 0 && per < 100 && elapsed >= kShowTimeLeftAfter) {
    const double seconds = elapsed * (100 - per) / per;
    left = "  " + std::to_string(static_cast<long>(seconds + 0.5)) + " s left";
  }
  std::fprintf(stderr, "\r%s [%s%s] %3d%%%-14s", label_.c_str(), std::string(filled, '#').c_str(),
               std::string(kBarWidth - filled, ' ').c_str(), per, left.c_str());
  std::fflush(stderr);
  shown_ = true;
}

void ProgressBar::Done() {
  if (shown_) std::fprintf(stderr, "\n");
  shown_ = false;
}

void ReportFailure(const char* verb, const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "pictavo: cannot %s %s: %s\n", verb, file.c_str(), reason.c_str());
}

void ReportFailure(const char* verb, const std::string& file, const TPictavoIO& io,
                   const std::string& fallback) {
  const TPVError& e = io.LastError();
  ReportFailure(verb, file, e && !e.Message.empty() ? e.Message : fallback);
}

void ReportWarnings(const std::string& file, const TPictavoIO& io) {
  for (const std::string& w : io.Warnings())
    std::fprintf(stderr, "pictavo: warning: %s: %s\n", file.c_str(), w.c_str());
}

std::optional<std::string> InputFileProblem(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (st.type() == fs::file_type::not_found) return std::string("no such file");
  if (st.type() == fs::file_type::directory) return std::string("is a folder, not a file");
  if (!ec && st.type() != fs::file_type::regular) return std::string("not a regular file");
  if (access(path.c_str(), R_OK) != 0)
    return std::string(errno == EACCES ? "permission denied" : std::strerror(errno));
  if (ec) return ec.message();
  return std::nullopt;
}

}  // namespace pictavo::cli
