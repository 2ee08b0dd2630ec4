#include "PrintStatus.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <chrono>
#include <iostream>
#include <thread>

#include "platform/codepage/CodePage.h"

namespace tavo::tool {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(200);

QJsonObject CallForJson(AutomationObject& control, const std::string& method,
                        const std::vector<std::u16string>& args) {
  const ScopedVariant value = control.Call(method, args);
  const std::string text = FormatValue(*value.Get());
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text));
  if (!document.isObject()) throw ToolFailure(1, method + " gave no JSON object: " + text);
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

std::string Describe(int job, const std::string& how, const JobReport& report) {
  return "job " + std::to_string(job) + " " + how + (report.why.empty() ? "" : ": " + report.why);
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
  std::string text = "nothing was printed";
  if (!last.printer.empty()) text += " on " + last.printer;
  if (!last.message.empty()) text += ": " + last.message;
  return text;
}

int FollowJob(AutomationObject& control, int job, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (;;) {
    const JobReport report = ReadJobState(control, job);
    if (report.state == "completed") {
      std::cout << "job " << job << " completed\n";
      return 0;
    }
    if (report.state == "stopped" || report.state == "canceled" || report.state == "aborted")
      throw ToolFailure(1, Describe(job, report.state, report));
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline)
      throw ToolFailure(1,
                        Describe(job,
                                 "is still " + report.state + " after " + std::to_string(seconds) +
                                     (seconds == 1 ? " second" : " seconds"),
                                 report));
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(kPollInterval, deadline - now));
  }
}

}  // namespace tavo::tool
