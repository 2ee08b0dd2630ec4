#include "PrintStatus.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <chrono>
#include <iostream>
#include <thread>

#include "Translation.h"
#include "platform/codepage/CodePage.h"

namespace tavo::tool {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(200);

QJsonObject CallForJson(AutomationObject& control, const std::string& method,
                        const std::vector<std::u16string>& args) {
  const ScopedVariant value = control.Call(method, args);
  const std::string text = FormatValue(*value.Get());
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text));
  if (!document.isObject()) throw ToolFailure(1, Tr("%1 gave no JSON object: %2", {method, text}));
  return document.object();
}

std::string Text(const QJsonObject& object, const char* key) {
  return object.value(QLatin1String(key)).toString().toStdString();
}

struct JobReport {
  std::string state;
  std::string why;  // CUPS's reasons and message
};

JobReport ReadJobState(AutomationObject& control, int job) {
  const QJsonObject state =
      CallForJson(control, "JobState", {codepage::Utf8ToWide(std::to_string(job))});
  JobReport report{Text(state, "state"), {}};
  for (const QJsonValue reason : state.value(QLatin1String("reasons")).toArray()) {
    if (reason.toString() == QLatin1String("none")) continue;  // IPP's word for no reason
    if (!report.why.empty()) report.why += ", ";
    report.why += reason.toString().toStdString();
  }
  if (const std::string message = Text(state, "message"); !message.empty())
    report.why += (report.why.empty() ? "" : " (") + message + (report.why.empty() ? "" : ")");
  return report;
}

// What became of the job, with CUPS's reasons.
std::string Describe(const std::string& how, const JobReport& report) {
  return how + (report.why.empty() ? "" : ": " + report.why);
}

}  // namespace

LastPrintReport ReadLastPrint(AutomationObject& control) {
  const QJsonObject last = CallForJson(control, "LastPrint", {});
  LastPrintReport report;
  report.printed = last.value(QLatin1String("printed")).toBool();
  report.printer = Text(last, "printer");
  if (const QJsonValue job = last.value(QLatin1String("job")); job.isDouble())
    report.job = job.toInt();
  report.message = Text(last, "message");
  return report;
}

std::string NotPrinted(const LastPrintReport& last) {
  if (last.printer.empty())
    return last.message.empty() ? Tr("nothing was printed")
                                : Tr("nothing was printed: %1", {last.message});
  return last.message.empty() ? Tr("nothing was printed on %1", {last.printer})
                              : Tr("nothing was printed on %1: %2", {last.printer, last.message});
}

int FollowJob(AutomationObject& control, int job, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (;;) {
    const JobReport report = ReadJobState(control, job);
    if (report.state == "completed") {
      std::cout << Tr("job %1 completed", {std::to_string(job)}) << "\n";
      return 0;
    }
    if (report.state == "stopped" || report.state == "canceled" || report.state == "aborted")
      throw ToolFailure(1, Describe(Tr("job %1 %2", {std::to_string(job), report.state}), report));
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline)
      throw ToolFailure(
          1, Describe(TrPlural("job %1 is still %2 after %3 second",
                               "job %1 is still %2 after %3 seconds",
                               static_cast<unsigned long>(seconds),
                               {std::to_string(job), report.state, std::to_string(seconds)}),
                      report));
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(kPollInterval, deadline - now));
  }
}

}  // namespace tavo::tool
