// pictavo: the command line of the library.  Subcommands register
// themselves (see registry.h); `pictavo demo` runs every demo section.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "apps/pictavo/registry.h"
#include "apps/pictavo/startup.h"
#include "core/pvversion.h"
#include "platform/exceptions.h"

namespace pictavo::cli {

std::vector<Command>& Commands() {
  static std::vector<Command> commands;
  return commands;
}

std::vector<DemoSection>& DemoSections() {
  static std::vector<DemoSection> sections;
  return sections;
}

void DemoContext::Run(const std::string& section, const std::string& operation,
                      const std::function<std::string()>& work) {
  auto start = std::chrono::steady_clock::now();
  Row row{section, operation, "", 0, true};
  try {
    row.figures = work();
  } catch (const std::exception& e) {
    row.figures = std::string("FAILED: ") + e.what();
    row.ok = false;
    ++failures_;
  }
  row.ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("  %-10s %-44s %9.2f ms  %s\n", section.c_str(), operation.c_str(), row.ms,
              row.figures.c_str());
  std::fflush(stdout);
  rows_.push_back(std::move(row));
}

void DemoContext::PrintTable() const {
  std::printf("\n%-10s | %-44s | %10s | %s\n", "section", "operation", "time (ms)", "figures");
  std::printf("%s\n", std::string(110, '-').c_str());
  for (const Row& r : rows_)
    std::printf("%-10s | %-44s | %10.2f | %s\n", r.section.c_str(), r.operation.c_str(), r.ms,
                r.figures.c_str());
  std::printf("\n%zu operations, %d failed; files in %s\n", rows_.size(), failures_,
              out_dir_.c_str());
}

namespace {

int RunDemo(const std::vector<std::string>& args) {
  std::string dir = args.empty() ? "demo-out" : args[0];
  std::filesystem::create_directories(dir);
  DemoContext demo(dir);
  auto sections = DemoSections();
  std::stable_sort(sections.begin(), sections.end(),
                   [](const DemoSection& a, const DemoSection& b) { return a.order < b.order; });
  for (const DemoSection& s : sections) {
    std::printf("== %s\n", s.name.c_str());
    s.run(demo);
  }
  demo.PrintTable();
  return demo.Failures() == 0 ? 0 : 1;
}

PICTAVO_COMMAND("demo", "demo [DIR]  build sample images and run every capability, writing to DIR",
                RunDemo);

constexpr int kUsageError = 2;

std::vector<Command> SortedCommands() {
  auto commands = Commands();
  std::sort(commands.begin(), commands.end(),
            [](const Command& a, const Command& b) { return a.name < b.name; });
  return commands;
}

void PrintUsage(FILE* to) {
  std::fprintf(to,
               "usage: pictavo COMMAND [ARGS]\n"
               "       pictavo COMMAND --help   what COMMAND does and takes\n"
               "       pictavo --version\n\n"
               "commands:\n");
  for (const Command& c : SortedCommands()) std::fprintf(to, "  %s\n", c.usage.c_str());
  std::fprintf(to,
               "\nExit status: 0 on success, 1 when a file could not be read or written,\n"
               "2 on a usage error.\n");
}

bool WantsHelp(const std::vector<std::string>& args) {
  return std::any_of(args.begin(), args.end(),
                     [](const std::string& a) { return a == "--help" || a == "-h"; });
}

int RunCommand(const Command& c, const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::printf("usage: pictavo %s\n", c.usage.c_str());
    return 0;
  }
  try {
    return c.run(args);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pictavo %s: %s\n", c.name.c_str(), e.what());
    return 1;
  }
}

}  // namespace
}  // namespace pictavo::cli

int main(int argc, char** argv) {
  using namespace pictavo::cli;
  InstallLibraryCoders();
  if (argc < 2) {
    PrintUsage(stderr);
    return kUsageError;
  }
  const std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintUsage(stdout);
    return 0;
  }
  if (name == "--version") {
    std::printf("pictavo %s\n", pictavo::PVVersionString());
    return 0;
  }
  const std::vector<std::string> args(argv + 2, argv + argc);
  for (const Command& c : Commands())
    if (c.name == name) return RunCommand(c, args);
  std::fprintf(stderr, "pictavo: unknown command \"%s\"\n", name.c_str());
  PrintUsage(stderr);
  return kUsageError;
}

#include "apps/pictavo/info_details.h"

namespace pictavo::cli {
std::vector<InfoDetails>& InfoDetailsList() {
  static std::vector<InfoDetails> list;
  return list;
}
}  // namespace pictavo::cli
