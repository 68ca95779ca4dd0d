// Reader throughput against counting lines with memchr, the command-line merge
// against a durable copy of the same files (wall time, CPU time, peak memory),
// and the preview of the same files against the merge. Every figure is a ratio
// to its baseline, measured in the same run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_block.h"
#include "data/scan_paths.h"
#include "platform/mapped_file.h"
#include "platform/utf8.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A RES2DINV file of dipole-dipole-like data lines, about `bytes` long.
std::string SyntheticDataFile(std::size_t bytes, int seed, std::int64_t* lineCount = nullptr) {
  std::string text = "Synthetic line " + std::to_string(seed) + "\r\n1.00\r\n3\r\n";
  const std::size_t countAt = text.size();
  text += "0000000000\r\n1\r\n0\r\n";
  std::int64_t lines = 0;
  char line[96];
  while (text.size() < bytes) {
    const int length = std::snprintf(line, sizeof line, "%10.2f %8.2f %10.6f %14.6f\r\n",
                                     0.5 * (lines % 4000), 1.0 + (lines / 4000) % 12,
                                     1.0 + (lines % 7), 100.0 + (lines * 37 % 1000) * 0.013);
    text.append(line, static_cast<std::size_t>(length));
    ++lines;
  }
  const std::string count = std::to_string(lines);
  text.replace(countAt, 10, count);
  if (lineCount != nullptr) *lineCount = lines;
  return text + "0\r\n0\r\n0\r\n0\r\n";
}

std::size_t CountLinesWithMemchr(const std::string& text) {
  std::size_t lines = 0;
  const char* p = text.data();
  const char* end = p + text.size();
  while ((p = static_cast<const char*>(std::memchr(p, '\n', end - p))) != nullptr) {
    ++lines;
    ++p;
  }
  return lines;
}

const std::string& ReaderInput() {
  static const std::string text = SyntheticDataFile(64u << 20, 0);
  return text;
}

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

void BM_LocateDataBlock(benchmark::State& state) {
  const std::string& text = ReaderInput();
  for (auto _ : state) {
    dorvane::DataBlock block;
    benchmark::DoNotOptimize(dorvane::LocateDataBlock(
        reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), block));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_LocateDataBlock)->Unit(benchmark::kMillisecond);

void BM_CountLinesMemchr(benchmark::State& state) {
  const std::string& text = ReaderInput();
  for (auto _ : state) benchmark::DoNotOptimize(CountLinesWithMemchr(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CountLinesMemchr)->Unit(benchmark::kMillisecond);

// Both scans in every iteration, one scan path per argument; the reported time is
// the reader's. reader_speed_per_memchr is the reader's speed as a share of the
// memchr line count's.
void BM_ReaderPerMemchr(benchmark::State& state) {
  const auto path = static_cast<dorvane::ScanPath>(state.range(0));
  const std::vector<dorvane::ScanPath> available = dorvane::AvailableScanPaths();
  if (std::find(available.begin(), available.end(), path) == available.end()) {
    state.SkipWithError("path not available on this processor");
    return;
  }
  state.SetLabel(std::string(dorvane::ScanPathName(path)));
  const std::string& text = ReaderInput();
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  double reader = 0, baseline = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    benchmark::DoNotOptimize(CountLinesWithMemchr(text));
    const auto t1 = Clock::now();
    dorvane::DataBlock block;
    benchmark::DoNotOptimize(dorvane::LocateDataBlockUsing(path, bytes, text.size(), block));
    const auto t2 = Clock::now();
    baseline += Seconds(t1 - t0);
    reader += Seconds(t2 - t1);
    state.SetIterationTime(Seconds(t2 - t1));
  }
  state.counters["reader_speed_per_memchr"] = baseline / reader;
}
BENCHMARK(BM_ReaderPerMemchr)
    ->DenseRange(0, 2)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The inputs of a merge comparison: 30 files (the most the tool takes) of
// `fileBytes` each, written once and removed at exit.
class MergeInputs {
 public:
  static constexpr int kFiles = 30;

  explicit MergeInputs(std::size_t fileBytes) {
    std::string pattern = (fs::temp_directory_path() / "dorvane-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    folder_ = pattern;
    for (int i = 0; i < kFiles; ++i) {
      const fs::path path = folder_ / ("line" + std::to_string(i) + ".dat");
      std::int64_t lines = 0;
      const std::string text = SyntheticDataFile(fileBytes, i, &lines);
      std::ofstream(path, std::ios::binary) << text;
      totalLines_ += lines;
      largest_ = std::max(largest_, text.size());
      paths_.push_back(path.string());
    }
  }
  ~MergeInputs() { fs::remove_all(folder_); }

  const std::vector<std::string>& paths() const { return paths_; }
  std::int64_t totalLines() const { return totalLines_; }
  std::size_t largest() const { return largest_; }
  fs::path Output(const char* name) const { return folder_ / name; }

 private:
  fs::path folder_;
  std::vector<std::string> paths_;
  std::int64_t totalLines_ = 0;
  std::size_t largest_ = 0;
};

// The merged file must hold every data line as one block, or the timing means nothing.
bool MergedAllLines(const fs::path& merged, std::int64_t lines) {
  const dorvane::MappedFile file(dorvane::Utf8ToUtf16(merged.string()));
  if (!file.isOpen()) return false;
  const std::span<const std::uint8_t> content = file.content();
  constexpr std::string_view kTrailer = "\r\n0\r\n0\r\n0\r\n0";
  dorvane::DataBlock block;
  return content.size() > kTrailer.size() &&
         std::equal(kTrailer.begin(), kTrailer.end(), content.end() - kTrailer.size()) &&
         dorvane::LocateDataBlock(content.data(), content.size(), block) == lines;
}

const MergeInputs& Inputs(std::size_t fileBytes) {
  static std::map<std::size_t, std::unique_ptr<MergeInputs>> inputs;
  auto& made = inputs[fileBytes];
  if (!made) made = std::make_unique<MergeInputs>(fileBytes);
  return *made;
}

struct ChildRun {
  double seconds = 0;
  double cpuSeconds = 0;
  long maxRssKiB = 0;
  int status = -1;
};

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Spawns argv with stdout sent to `stdoutPath` and waits for it.
ChildRun SpawnAndWait(char* const* argv, const char* stdoutPath) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutPath,
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ChildRun run;
  const auto start = Clock::now();
  pid_t child = 0;
  if (posix_spawn(&child, argv[0], &actions, nullptr, argv, environ) == 0) {
    rusage usage{};
    ::wait4(child, &run.status, 0, &usage);
    run.maxRssKiB = usage.ru_maxrss;
    run.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  }
  run.seconds = Seconds(Clock::now() - start);
  posix_spawn_file_actions_destroy(&actions);
  return run;
}

constexpr std::string_view kMeasureFlag = "--measure-child";

// A child's peak memory counts the memory of the process it was spawned from,
// until it runs its own program. So the children are spawned from a fresh, small
// copy of this program, which reports their status, peak and CPU time to `report`:
//   bench --measure-child REPORT STDOUT PROGRAM ARGS...
int MeasureChild(char** argv) {
  const ChildRun run = SpawnAndWait(argv + 2, argv[1]);
  std::ofstream(argv[0]) << run.status << ' ' << run.maxRssKiB << ' ' << run.cpuSeconds << '\n';
  return 0;
}

// The child's wall time is measured here, around the small copy that spawns it.
ChildRun Run(const std::vector<std::string>& command, const std::string& stdoutPath,
             const fs::path& report) {
  std::vector<std::string> argv = {"/proc/self/exe", std::string(kMeasureFlag), report.string(),
                                   stdoutPath};
  argv.insert(argv.end(), command.begin(), command.end());
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  ChildRun run = SpawnAndWait(pointers.data(), "/dev/null");
  run.status = -1;
  std::ifstream(report) >> run.status >> run.maxRssKiB >> run.cpuSeconds;
  return run;
}

std::vector<std::string> Command(std::vector<std::string> head,
                                 const std::vector<std::string>& files) {
  head.insert(head.end(), files.begin(), files.end());
  return head;
}

// One iteration: `cat FILES > OUT && sync OUT` (the durable copy), then the
// merge of the same files, each after the disk has caught up with earlier runs
// and with its output of the run before removed. (On a virtual machine that
// hands free memory back to its host, a page the guest has not used lately costs
// a fault in the host: the merge, which keeps the old output until the new one
// is complete, would draw on such pages where cat, truncating first, reuses the
// ones just freed.) Run with repetitions: the aggregates give the medians.
//   merge_wall_per_cat_sync   wall time of the merge / of cat and sync
//   merge_cpu_per_cat         CPU time of the merge / of cat
//   merge_rss_above_largest_MiB   the merge's peak resident memory beyond the
//                             largest input (wait4's ru_maxrss of the merge)
void BM_MergeAgainstCatSync(benchmark::State& state) {
  const MergeInputs& inputs = Inputs(static_cast<std::size_t>(state.range(0)));
  const std::string merged = inputs.Output("merged.dat").string();
  const std::string catted = inputs.Output("cat.dat").string();
  // The copy alone; what the check adds is BM_PreviewAgainstMerge's figure.
  const auto merge =
      Command({DORVANE_CLI_PATH, "merge", "--no-check", "-o", merged}, inputs.paths());
  const auto cat = Command({"/bin/cat"}, inputs.paths());
  const fs::path report = inputs.Output("report.txt");

  ChildRun catRun, syncRun, mergeRun;
  for (auto _ : state) {
    fs::remove(catted);
    ::sync();
    catRun = Run(cat, catted, report);
    syncRun = Run({"/bin/sync", catted}, "/dev/null", report);
    fs::remove(merged);
    ::sync();
    mergeRun = Run(merge, "/dev/null", report);
    if (mergeRun.status != 0 || catRun.status != 0 || syncRun.status != 0) {
      state.SkipWithError("a child failed");
      return;
    }
    state.SetIterationTime(mergeRun.seconds);
  }
  if (!MergedAllLines(merged, inputs.totalLines())) state.SkipWithError("wrong merge output");
  const double mebibyte = 1 << 20;
  state.counters["merge_wall_per_cat_sync"] = mergeRun.seconds / (catRun.seconds + syncRun.seconds);
  state.counters["merge_cpu_per_cat"] = mergeRun.cpuSeconds / catRun.cpuSeconds;
  state.counters["merge_peak_rss_MiB"] = mergeRun.maxRssKiB / 1024.0;
  state.counters["merge_rss_above_largest_MiB"] =
      mergeRun.maxRssKiB / 1024.0 - static_cast<double>(inputs.largest()) / mebibyte;
  state.counters["cat_peak_rss_MiB"] = catRun.maxRssKiB / 1024.0;
  state.counters["output_MiB"] = static_cast<double>(fs::file_size(merged)) / mebibyte;
}
// 30 files of 5 MB and of 50 MB: 150 MB and 1.5 GB in all.
BENCHMARK(BM_MergeAgainstCatSync)
    ->Arg(5'000'000)
    ->Iterations(1)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergeAgainstCatSync)
    ->Arg(50'000'000)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The sum of the data=N counts of the preview's input lines: the timing means
// nothing unless every data line was read and placed.
std::int64_t PreviewedData(const fs::path& printed) {
  std::ifstream in(printed);
  std::int64_t total = 0;
  for (std::string line; std::getline(in, line);) {
    const auto at = line.find(" data=");
    if (at != std::string::npos) total += std::stoll(line.substr(at + 6));
  }
  return total;
}

bool ExitedWith(int status, std::initializer_list<int> codes) {
  return WIFEXITED(status) &&
         std::find(codes.begin(), codes.end(), WEXITSTATUS(status)) != codes.end();
}

// One iteration: the merge without its check (the copy alone), the merge as it
// runs by default (check, then copy), then `preview --points /dev/null`, which
// reads, places and checks every data line and formats each as CSV. Each after
// the disk has caught up with earlier runs, the merge's old output removed.
//   preview_wall_per_merge      wall time of the preview / of the unchecked merge
//   checked_merge_wall_per_merge  the default merge / the unchecked merge
//   preview_peak_rss_MiB        the preview's peak resident memory (wait4)
void BM_PreviewAgainstMerge(benchmark::State& state) {
  const MergeInputs& inputs = Inputs(static_cast<std::size_t>(state.range(0)));
  const std::string merged = inputs.Output("merged.dat").string();
  const fs::path printed = inputs.Output("preview.txt");
  const auto merge =
      Command({DORVANE_CLI_PATH, "merge", "--no-check", "-o", merged}, inputs.paths());
  const auto checkedMerge = Command({DORVANE_CLI_PATH, "merge", "-o", merged}, inputs.paths());
  const auto preview =
      Command({DORVANE_CLI_PATH, "preview", "--points", "/dev/null"}, inputs.paths());
  const fs::path report = inputs.Output("report.txt");

  ChildRun mergeRun, checkedRun, previewRun;
  for (auto _ : state) {
    fs::remove(merged);
    ::sync();
    mergeRun = Run(merge, "/dev/null", report);
    fs::remove(merged);
    ::sync();
    checkedRun = Run(checkedMerge, "/dev/null", report);
    ::sync();
    previewRun = Run(preview, printed.string(), report);
    // The synthetic lines lie on each other and off the grid: findings (4) are expected.
    if (!ExitedWith(mergeRun.status, {0}) || !ExitedWith(checkedRun.status, {0}) ||
        !ExitedWith(previewRun.status, {0, 4})) {
      state.SkipWithError("a child failed");
      return;
    }
    state.SetIterationTime(previewRun.seconds);
  }
  if (PreviewedData(printed) != inputs.totalLines()) state.SkipWithError("data left unread");
  if (!MergedAllLines(merged, inputs.totalLines())) state.SkipWithError("wrong merge output");
  state.counters["preview_wall_per_merge"] = previewRun.seconds / mergeRun.seconds;
  state.counters["checked_merge_wall_per_merge"] = checkedRun.seconds / mergeRun.seconds;
  state.counters["preview_cpu_s"] = previewRun.cpuSeconds;
  state.counters["preview_peak_rss_MiB"] = previewRun.maxRssKiB / 1024.0;
  state.counters["merge_peak_rss_MiB"] = mergeRun.maxRssKiB / 1024.0;
  state.counters["input_MiB"] =
      static_cast<double>(inputs.largest()) * MergeInputs::kFiles / (1 << 20);
}
// The same 150 MB and 1.5 GB: the preview's peak memory must not follow the total.
BENCHMARK(BM_PreviewAgainstMerge)
    ->Arg(5'000'000)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewAgainstMerge)
    ->Arg(50'000'000)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc > 4 && argv[1] == kMeasureFlag) return MeasureChild(argv + 2);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
