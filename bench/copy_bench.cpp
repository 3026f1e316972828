// Copy job speed: the real job, headless, beside a bare copy_file loop, cp and rsync on the same files.
//
//   copy_bench [--mode small|large|missing] [--files N] [--min-size B] [--max-size B] [--rounds R]
//              [--dir D]
//
// small (default): N files (100000) of 1-4 KiB; the job beside a bare copy_file loop, a loop of the
// file service CopyFileReplacing alone, cp -r and rsync --files-from.
// large: 20 files of 50 MiB (--files and --min-size/--max-size change that); the same without rsync,
// in 5 rounds (--rounds; small runs 1).
// missing: N names (1000000) of which none exist, so every row appends to the failure log.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program_globals.h"
#include "app/program_texts.h"
#include "copy/copy_job.h"
#include "platform/codepage936.h"
#include "platform/headless/headless_binding.h"
#include "services/files.h"
#include "services/texts.h"

namespace fs = std::filesystem;
using morvane::Control;
using morvane::Text;

namespace {

struct Options {
  std::string mode = "small";
  long files = -1;
  long minSize = -1;
  long maxSize = -1;
  std::string dir;
  int rounds = -1;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    if (flag == "--mode") {
      options.mode = value;
    } else if (flag == "--files") {
      options.files = std::atol(value);
    } else if (flag == "--min-size") {
      options.minSize = std::atol(value);
    } else if (flag == "--max-size") {
      options.maxSize = std::atol(value);
    } else if (flag == "--rounds") {
      options.rounds = std::atoi(value);
    } else if (flag == "--dir") {
      options.dir = value;
    } else {
      return false;
    }
  }
  if (options.mode == "small") {
    if (options.files < 0) options.files = 100000;
    if (options.minSize < 0) options.minSize = 1024;
    if (options.maxSize < 0) options.maxSize = 4096;
  } else if (options.mode == "large") {
    if (options.rounds < 0) options.rounds = 5;
    if (options.files < 0) options.files = 20;
    if (options.minSize < 0) options.minSize = 50l << 20;
    if (options.maxSize < 0) options.maxSize = options.minSize;
  } else if (options.mode == "missing") {
    if (options.files < 0) options.files = 1000000;
    options.minSize = options.maxSize = 0;
  } else {
    return false;
  }
  if (options.rounds < 0) options.rounds = 1;
  return options.files > 0 && options.minSize <= options.maxSize && options.rounds > 0;
}

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
}

// Drops the target and flushes, so each contender starts from an empty folder and a quiet disk.
void FreshFolder(const fs::path& folder) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  ::sync();
}

long CountFiles(const fs::path& folder) {
  return static_cast<long>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

struct JobResult {
  double seconds;
  std::vector<Text> messages;
  Text lastLabel;
};

// The path a click takes in the program: MainWindow on the headless binding, 按钮4, the worker
// served from this thread until the job has ended.
JobResult RunJob(const std::vector<Text>& names, const fs::path& source, const fs::path& target) {
  morvane::HeadlessBinding binding;
  morvane::MainWindow window(binding);
  binding.Attach(window);
  window.SetEditText(Control::编辑框2, source.string());
  window.SetEditText(Control::编辑框3, target.string());
  for (const Text& name : names) window.Names().SetItemText(window.Names().AppendItem(), name);
  morvane::RowCount = static_cast<int32_t>(names.size());
  JobResult result{};
  result.seconds = Seconds([&] {
    window.Click(Control::按钮4);
    binding.PumpUntil([&] { return !window.Jobs().Busy(); }, 3600 * 1000);
  });
  result.messages = binding.Messages();
  const auto labels = binding.LabelHistory(Control::标签1);
  if (!labels.empty()) result.lastLabel = labels.back();
  morvane::RowCount = 0;
  return result;
}

double BareLoop(const std::vector<Text>& names, const fs::path& source, const fs::path& target) {
  return Seconds([&] {
    for (const Text& name : names) {
      std::error_code error;
      fs::copy_file(source / name, target / name, fs::copy_options::overwrite_existing, error);
    }
  });
}

// The file service alone, without the window: what the job costs beyond it is its own.
double ServiceLoop(const std::vector<Text>& names, const fs::path& source, const fs::path& target) {
  const Text sourceFolder = source.string();
  const Text targetFolder = target.string();
  return Seconds([&] {
    for (const Text& name : names)
      morvane::CopyFileReplacing(morvane::JoinTexts({sourceFolder, "\\", name}),
                                 morvane::JoinTexts({targetFolder, "\\", name}));
  });
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void Report(const char* what, double seconds, long files, double reference, const char* referenceName) {
  std::printf("%-28s %9.3f s %12.0f files/s", what, seconds, files / seconds);
  if (reference > 0) std::printf("   %.3f x %s", seconds / reference, referenceName);
  std::printf("\n");
}

void MakeFiles(const std::vector<Text>& names, const fs::path& source, long minSize, long maxSize) {
  std::mt19937_64 random(1);
  std::uniform_int_distribution<long> sizes(minSize, maxSize);
  std::vector<char> block(static_cast<std::size_t>(std::min(maxSize, 1l << 20)));
  for (char& byte : block) byte = static_cast<char>(random());
  for (const Text& name : names) {
    std::ofstream out(source / name, std::ios::binary);
    for (long left = sizes(random); left > 0;) {
      const long chunk = std::min<long>(left, static_cast<long>(block.size()));
      out.write(block.data(), chunk);
      left -= chunk;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: copy_bench [--mode small|large|missing] [--files N] [--min-size B] [--max-size B] "
                 "[--rounds R] [--dir D]\n");
    return 2;
  }
  std::string pattern = ((options.dir.empty() ? fs::temp_directory_path() : fs::path(options.dir)) /
                         "morvane-copy-bench-XXXXXX")
                            .string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path root = pattern;
  const fs::path source = root / "source";
  const fs::path target = root / "target";
  fs::create_directories(source);

  std::vector<Text> names;
  names.reserve(static_cast<std::size_t>(options.files));
  for (long i = 0; i < options.files; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "f%07ld.dat", i);
    names.emplace_back(name);
  }
  std::printf("mode %s: %ld files of %ld-%ld bytes in %s\n", options.mode.c_str(), options.files,
              options.minSize, options.maxSize, root.c_str());

  int status = 0;
  if (options.mode == "missing") {
    FreshFolder(target);
    const JobResult job = RunJob(names, source, target);
    const auto logSize =
        fs::file_size(target / morvane::Codepage936ToUtf8(morvane::texts::kFailureLogSuffix + 1).value());
    Report("job (every row fails)", job.seconds, options.files, 0, "");
    std::printf("log %" PRIuMAX " bytes, last label %s, %zu message(s)\n", static_cast<uintmax_t>(logSize),
                job.lastLabel.c_str(), job.messages.size());
    if (job.seconds >= 60) status = 1;
  } else {
    const double making = Seconds([&] { MakeFiles(names, source, options.minSize, options.maxSize); });
    std::printf("made the files in %.1f s\n", making);
    {
      std::ofstream list(root / "list.txt");
      for (const Text& name : names) list << name << '\n';
    }

    // Rounds alternate the contenders, so a drift in the machine's load touches each alike; the
    // medians are compared.
    std::vector<double> bare, service, job, cp, rsync;
    for (int round = 1; round <= options.rounds; ++round) {
      std::printf("round %d:", round);
      FreshFolder(target);
      bare.push_back(BareLoop(names, source, target));
      std::printf(" bare %.3f s", bare.back());
      if (CountFiles(target) != options.files) status = 1;

      FreshFolder(target);
      service.push_back(ServiceLoop(names, source, target));
      std::printf(", CopyFileReplacing %.3f s", service.back());

      FreshFolder(target);
      const JobResult result = RunJob(names, source, target);
      job.push_back(result.seconds);
      std::printf(", job %.3f s", job.back());
      if (CountFiles(target) != options.files || !result.messages.empty() || result.lastLabel != "100%") {
        std::printf(" (wrong: %ld files, label %s, %zu message(s))", CountFiles(target),
                    result.lastLabel.c_str(), result.messages.size());
        status = 1;
      }

      FreshFolder(target);
      cp.push_back(Seconds([&] { Run("cp -r " + Quoted(source) + "/. " + Quoted(target) + "/"); }));
      std::printf(", cp %.3f s", cp.back());

      if (options.mode == "small") {
        FreshFolder(target);
        rsync.push_back(Seconds([&] {
          Run("rsync --files-from=" + Quoted(root / "list.txt") + " " + Quoted(source) + "/ " +
              Quoted(target) + "/");
        }));
        std::printf(", rsync %.3f s", rsync.back());
      }
      std::printf("\n");
    }

    const double bareTime = Median(bare);
    const double serviceTime = Median(service);
    const double jobTime = Median(job);
    const double cpTime = Median(cp);
    std::printf("medians of %d round(s):\n", options.rounds);
    Report("bare copy_file loop", bareTime, options.files, 0, "");
    Report("CopyFileReplacing loop", serviceTime, options.files, bareTime, "bare loop");
    Report("job", jobTime, options.files, bareTime, "bare loop");
    Report("cp -r", cpTime, options.files, 0, "");
    if (!rsync.empty()) Report("rsync --files-from", Median(rsync), options.files, 0, "");
    std::printf("job / bare loop %.3f, job / CopyFileReplacing loop %.3f, job / cp %.3f", jobTime / bareTime,
                jobTime / serviceTime, jobTime / cpTime);
    if (!rsync.empty()) std::printf(", job / rsync %.3f", jobTime / Median(rsync));
    std::printf("\n");
  }
  fs::remove_all(root);
  return status;
}
