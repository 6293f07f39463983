// Running the built `pictavo` program from tests: arguments, standard input
// from a file, captured standard output and error, the exit code; and a
// fresh temporary folder per test.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace pictavo::clitest {

struct CliResult {
  int code = -1;
  std::string out, err;
};

inline std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

inline void WriteAll(const std::filesystem::path& p, const std::string& data) {
  std::ofstream f(p, std::ios::binary);
  f << data;
}

// Runs `pictavo args...` through the shell; `env` is prepended as
// VAR=value assignments, `stdinFile` (when not empty) feeds standard input.
inline CliResult RunShell(const std::string& command, const std::filesystem::path& scratch) {
  const std::string out = (scratch / ".stdout").string(), err = (scratch / ".stderr").string();
  const int status =
      std::system((command + " >" + ShellQuote(out) + " 2>" + ShellQuote(err)).c_str());
  CliResult r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadAll(out);
  r.err = ReadAll(err);
  return r;
}

inline std::string CliCommand(const std::vector<std::string>& args) {
  std::string cmd = ShellQuote(PICTAVO_CLI);
  for (const std::string& a : args) cmd += " " + ShellQuote(a);
  return cmd;
}

inline bool HaveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ =
        std::filesystem::temp_directory_path() / ("pictavo-cli-" + std::to_string(getpid()) + "-" +
                                                  info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  CliResult Run(const std::vector<std::string>& args, const std::string& stdinFile = "",
                const std::string& env = "") {
    std::string cmd = (env.empty() ? "" : env + " ") + CliCommand(args);
    if (!stdinFile.empty()) cmd += " <" + ShellQuote(stdinFile);
    return RunShell(cmd, dir_);
  }

  std::filesystem::path dir_;
};

}  // namespace pictavo::clitest
