// Registration of the command line's subcommands and demo sections.  Each
// subject adds its own file with PICTAVO_COMMAND / PICTAVO_DEMO so that the
// command line grows without a central list.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace pictavo::cli {

using CommandFn = int (*)(const std::vector<std::string>& args);

struct Command {
  std::string name;
  std::string usage;
  CommandFn run;
};

std::vector<Command>& Commands();

struct CommandRegistrar {
  CommandRegistrar(const char* name, const char* usage, CommandFn run) {
    Commands().push_back({name, usage, run});
  }
};

// The demo's output directory and its summary table.
class DemoContext {
 public:
  explicit DemoContext(std::string outDir) : out_dir_(std::move(outDir)) {}
  const std::string& OutDir() const { return out_dir_; }
  std::string Path(const std::string& name) const { return out_dir_ + "/" + name; }

  // Runs one operation, timing it; `work` returns the figures it got.  An
  // exception is recorded as a failure of that row.
  void Run(const std::string& section, const std::string& operation,
           const std::function<std::string()>& work);
  void PrintTable() const;
  int Failures() const { return failures_; }

 private:
  struct Row {
    std::string section, operation, figures;
    double ms;
    bool ok;
  };
  std::string out_dir_;
  std::vector<Row> rows_;
  int failures_ = 0;
};

using DemoFn = void (*)(DemoContext& demo);

struct DemoSection {
  int order;
  std::string name;
  DemoFn run;
};

std::vector<DemoSection>& DemoSections();

struct DemoRegistrar {
  DemoRegistrar(int order, const char* name, DemoFn run) { DemoSections().push_back({order, name, run}); }
};

}  // namespace pictavo::cli

#define PICTAVO_CLI_CONCAT2(a, b) a##b
#define PICTAVO_CLI_CONCAT(a, b) PICTAVO_CLI_CONCAT2(a, b)
#define PICTAVO_COMMAND(name, usage, fn) \
  static ::pictavo::cli::CommandRegistrar PICTAVO_CLI_CONCAT(command_registrar_, __LINE__)(name, usage, fn)
#define PICTAVO_DEMO(order, name, fn) \
  static ::pictavo::cli::DemoRegistrar PICTAVO_CLI_CONCAT(demo_registrar_, __LINE__)(order, name, fn)
