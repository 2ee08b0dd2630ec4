#include "Batch.h"

#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <regex>

#include "BatchProgress.h"
#include "BatchReport.h"
#include "BatchWorkers.h"
#include "PrintStatus.h"
#include "Translation.h"
#include "XmlFile.h"
#include "platform/codepage/CodePage.h"

namespace fs = std::filesystem;

namespace tavo::tool {

const char* const kBatchUsage = Translatable(R"(
  tavoprint batch RULE DATA... (--pdf-dir DIR | --pdf ONE.pdf | --printer NAME)
                  [--jobs N] [--shard I/N] [--resume]
                                     every record of every DATA file: --pdf-dir one PDF each,
                                     DIR/NAME-RECORD.pdf, in N worker processes (default: one
                                     per core); --pdf or --printer all in one job; --shard I/N
                                     takes the I-th of every N files; --resume keeps the PDFs
                                     already there; exit 0 all printed, 1 some failed)");

namespace {

[[noreturn]] void Usage(const std::string& problem) {
  throw ToolFailure(2, problem + "\n" + Tr("usage:") + Tr(kBatchUsage));
}

struct BatchOptions {
  std::string rule;
  std::vector<std::string> files;
  std::optional<std::string> pdfDir, pdf, printer;
  std::optional<int> jobs;
  int shard = 1, shards = 1;
  bool resume = false;
};

int PositiveNumber(const std::string& text, const std::string& what) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1)
    Usage(Tr("%1 must be a whole number from 1, not \"%2\"", {what, text}));
  return value;
}

BatchOptions ParseOptions(const std::vector<std::string>& args) {
  BatchOptions options;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) Usage(Tr("%1 needs a value", {arg}));
      return args[++i];
    };
    if (arg == "--pdf-dir") {
      options.pdfDir = value();
    } else if (arg == "--pdf") {
      options.pdf = value();
    } else if (arg == "--printer") {
      options.printer = value();
    } else if (arg == "--jobs") {
      options.jobs = PositiveNumber(value(), "--jobs");
    } else if (arg == "--shard") {
      const std::string shard = value();
      const size_t slash = shard.find('/');
      if (slash == std::string::npos) Usage(Tr("--shard takes I/N, such as 2/4"));
      options.shard = PositiveNumber(shard.substr(0, slash), Tr("the shard"));
      options.shards = PositiveNumber(shard.substr(slash + 1), Tr("the number of shards"));
      if (options.shard > options.shards) Usage(Tr("--shard %1: I is at most N", {shard}));
    } else if (arg == "--resume") {
      options.resume = true;
    } else if (arg.starts_with("--")) {
      Usage(Tr("unknown option %1", {arg}));
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() < 2) Usage(Tr("batch needs RULE and at least one DATA file"));
  if ((options.pdfDir ? 1 : 0) + (options.pdf ? 1 : 0) + (options.printer ? 1 : 0) != 1)
    Usage(Tr("batch needs one of --pdf-dir, --pdf and --printer"));
  if (options.jobs && !options.pdfDir)
    Usage(Tr("--jobs goes with --pdf-dir: one job is printed by one process"));
  if (options.resume && options.printer) Usage(Tr("--resume goes with --pdf-dir and --pdf"));
  options.rule = positional.front();
  // Every N-th file from the I-th: shards of the same list never share a file.
  for (size_t i = 0; i + 1 < positional.size(); ++i) {
    if (i % static_cast<size_t>(options.shards) == static_cast<size_t>(options.shard - 1))
      options.files.push_back(positional[i + 1]);
  }
  return options;
}

// A killed run leaves its PDF printer's files being written (TARGET.partial-XXXXXX) beside the
// outputs; those of this run's outputs are removed before it starts.
void RemovePartialFiles(const fs::path& dir, const std::function<bool(const std::string&)>& ours) {
  static const std::regex partial(R"((.*\.pdf)\.partial-[A-Za-z0-9]{6})");
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
    std::smatch match;
    const std::string name = entry.path().filename().string();
    if (std::regex_match(name, match, partial) && ours(match[1])) fs::remove(entry.path(), error);
  }
}

struct Totals {
  long files = 0, skipped = 0;
  std::string failures;  // the lines for standard error
  size_t failed = 0;

  void Add(const std::string& file, BatchReport report) {
    files += report.files;
    skipped += report.skipped;
    // A file that printed nothing and names no record: the file itself failed.
    if (!report.printed && report.failed.empty())
      report.failed.push_back(
          {0, report.message.empty() ? Tr("nothing was printed") : report.message});
    failed += report.failed.size();
    failures += FormatFailures(file, report.failed);
  }
};

int Finish(const Totals& totals, const std::string& summary, bool finished) {
  std::cout << summary << "\n";
  std::cerr << totals.failures;
  if (!finished) {
    std::cerr << "tavoprint: "
              << Tr("the batch was stopped before its end; run it again with --resume to finish it")
              << "\n";
    return 1;
  }
  if (totals.failed > 0) {
    std::cerr << "tavoprint: "
              << TrPlural("%1 failure", "%1 failures", totals.failed,
                          {std::to_string(totals.failed)})
              << "\n";
    return 1;
  }
  return 0;
}

// One PDF per record, the files shared out to worker processes.
int BatchToFolder(const BatchOptions& options, std::u16string_view progId) {
  const fs::path dir = fs::absolute(*options.pdfDir);
  std::error_code error;
  fs::create_directories(dir, error);
  if (!fs::is_directory(dir)) throw ToolFailure(1, Tr("cannot make the folder %1", {dir.string()}));
  std::map<std::string, std::string> fileOfStem;
  std::vector<std::string> patterns;
  for (const std::string& file : options.files) {
    const std::string stem = fs::path(file).stem().string();
    if (const auto [at, fresh] = fileOfStem.emplace(stem, file); !fresh)
      Usage(Tr("%1 and %2 would write the same files, %3-*.pdf", {at->second, file, stem}));
    patterns.push_back((dir / (stem + "-{record}.pdf")).string());
  }
  static const std::regex output(R"((.*)-[0-9]+\.pdf)");
  RemovePartialFiles(dir, [&](const std::string& target) {
    std::smatch match;
    return std::regex_match(target, match, output) && fileOfStem.count(match[1]);
  });

  const std::u16string rule = ReadXmlFile(options.rule);
  const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
  int jobs = options.jobs.value_or(cores > 0 ? static_cast<int>(cores) : 1);
  jobs = static_cast<int>(std::min<size_t>(static_cast<size_t>(jobs), options.files.size()));

  const MakeFileWork makeWork = [&]() -> FileWork {
    auto control = std::make_shared<AutomationObject>(progId);
    return [&, control](size_t file) {
      const std::u16string data = ReadXmlFile(options.files[file]);
      const ScopedVariant report = control->Call(
          "PrintXmlBatchFiles",
          {data, rule, codepage::Utf8ToWide(patterns[file]), options.resume ? u"1" : u"0"});
      return FormatValue(*report.Get());
    };
  };
  BatchProgress progress(options.files.size());
  Totals totals;
  const bool finished =
      RunWorkers(options.files.size(), jobs, makeWork, [&](size_t file, const std::string& json) {
        BatchReport report;
        try {
          report = ParseBatchReport(json);
        } catch (const ToolFailure& failure) {
          report.message = failure.what();
        }
        progress.FileDone(report.pages);
        totals.Add(options.files[file], std::move(report));
      });
  progress.Finish();
  return Finish(totals,
                "batch: " +
                    TrPlural("%1 PDF file in %2", "%1 PDF files in %2",
                             static_cast<unsigned long>(totals.files),
                             {std::to_string(totals.files), dir.string()}) +
                    (totals.skipped > 0 ? " " + TrPlural("(%1 was there)", "(%1 were there)",
                                                         static_cast<unsigned long>(totals.skipped),
                                                         {std::to_string(totals.skipped)})
                                        : "") +
                    ", " + progress.Rate(),
                finished);
}

// Every record of every file in one job: one PDF, or one job on a printer.
int BatchAsOneJob(const BatchOptions& options, std::u16string_view progId) {
  std::string selection;
  if (options.pdf) {
    const fs::path pdf = fs::absolute(*options.pdf);
    std::error_code error;
    if (options.resume && fs::is_regular_file(pdf, error)) {
      std::cout << "batch: " << Tr("%1 is there already", {pdf.string()}) << "\n";
      return 0;
    }
    RemovePartialFiles(pdf.parent_path(),
                       [&](const std::string& target) { return target == pdf.filename(); });
    selection = "pdf:" + pdf.string();
  } else {
    selection = *options.printer;
  }
  const std::u16string rule = ReadXmlFile(options.rule);
  AutomationObject control(progId);
  if (control.Call("SetDefaultPrinter", {codepage::Utf8ToWide(selection)})->boolVal == 0)
    throw ToolFailure(1, Tr("no printer named %1", {selection}));
  control.Call("BeginBatch", {});
  BatchProgress progress(options.files.size());
  Totals totals;
  const StopOnSignal signals;
  for (const std::string& file : options.files) {
    // Stopped, the job is left unended: the control aborts it as the process ends, so no PDF
    // of part of the run takes the output's name.
    if (StopOnSignal::Requested()) {
      progress.Finish();
      std::cerr << totals.failures;
      throw ToolFailure(1, Tr("the batch was stopped before its end; nothing was printed"));
    }
    BatchReport report;
    try {
      report = ParseBatchReport(
          FormatValue(*control.Call("PrintXmlBatch", {ReadXmlFile(file), rule}).Get()));
    } catch (const std::exception& failure) {
      report.message = failure.what();
    }
    progress.FileDone(report.pages);
    totals.Add(file, std::move(report));
  }
  const BatchReport job = ParseBatchReport(FormatValue(*control.Call("EndBatch", {}).Get()));
  progress.Finish();
  if (!job.printed) {
    std::cerr << totals.failures;
    throw ToolFailure(1, job.message.empty()
                             ? Tr("nothing was printed on %1", {selection})
                             : Tr("nothing was printed on %1: %2", {selection, job.message}));
  }
  const std::string pages = std::to_string(job.pages);
  const unsigned long count = static_cast<unsigned long>(job.pages);
  const std::string done =
      options.pdf
          ? TrPlural("%1 page into %2", "%1 pages into %2", count, {pages, selection.substr(4)})
      : job.job ? TrPlural("%1 page on %2 as job %3", "%1 pages on %2 as job %3", count,
                           {pages, selection, std::to_string(*job.job)})
                : TrPlural("%1 page on %2", "%1 pages on %2", count, {pages, selection});
  return Finish(totals, "batch: " + done + ", " + progress.Rate(), true);
}

}  // namespace

int PrintAllRecords(AutomationObject& control, const std::u16string& data,
                    const std::u16string& rule, std::optional<int> waitSeconds) {
  const BatchReport report =
      ParseBatchReport(FormatValue(*control.Call("PrintXmlBatch", {data, rule}).Get()));
  std::cerr << FormatFailures("tavoprint", report.failed);
  const LastPrintReport last = ReadLastPrint(control);
  if (!report.printed) throw ToolFailure(1, NotPrinted(last));
  const std::string pages = std::to_string(report.pages);
  const unsigned long count = static_cast<unsigned long>(report.pages);
  if (!report.job) {
    const std::string_view target = last.printer;
    std::cout << TrPlural("printed %1 page to %2", "printed %1 pages to %2", count,
                          {pages, target.starts_with("pdf:") ? target.substr(4) : target})
              << "\n";
  } else {
    std::cout << TrPlural("printed %1 page on %2 as job %3", "printed %1 pages on %2 as job %3",
                          count, {pages, last.printer, std::to_string(*report.job)})
              << "\n";
  }
  const int followed =
      waitSeconds && report.job ? FollowJob(control, *report.job, *waitSeconds) : 0;
  return report.failed.empty() ? followed : 1;
}

int Batch(std::vector<std::string> args, std::u16string_view progId) {
  const BatchOptions options = ParseOptions(args);
  if (options.files.empty()) {
    std::cout << "batch: "
              << Tr("shard %1/%2 has no files",
                    {std::to_string(options.shard), std::to_string(options.shards)})
              << "\n";
    return 0;
  }
  return options.pdfDir ? BatchToFolder(options, progId) : BatchAsOneJob(options, progId);
}

}  // namespace tavo::tool
