#include "platform/printer/system/CupsJobState.h"

#include <cups/cups.h>

#include <string>

#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"

namespace tavo {
namespace {

constexpr int kConnectTimeoutMs = 10000;
constexpr double kReplyTimeoutSeconds = 30.0;

int GiveUp(http_t*, void*) { return 0; }

std::string Reason() { return codepage::Utf8ToAnsi(cupsLastErrorString()); }

std::string NoSuchJob(int job) {
  return "There is no print job " + std::to_string(job) + " of this user";
}

// One connection to the scheduler CUPS is configured for, with the same timeouts as the
// printer's, so a scheduler that stops answering is a failure instead of a hang.
class Connection {
 public:
  Connection()
      : http_(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                           kConnectTimeoutMs, nullptr)) {
    if (!http_) throw Error("The print scheduler cannot be reached: " + Reason());
    httpSetTimeout(http_, kReplyTimeoutSeconds, GiveUp, nullptr);
  }
  ~Connection() { httpClose(http_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  http_t* Get() const { return http_; }

 private:
  http_t* http_;
};

class Response {
 public:
  explicit Response(ipp_t* response) : response_(response) {}
  ~Response() { ippDelete(response_); }
  Response(const Response&) = delete;
  Response& operator=(const Response&) = delete;
  ipp_t* Get() const { return response_; }

 private:
  ipp_t* response_;
};

const char* StateName(int state) {
  switch (state) {
    case IPP_JSTATE_PENDING:
      return "pending";
    case IPP_JSTATE_HELD:
      return "held";
    case IPP_JSTATE_PROCESSING:
      return "processing";
    case IPP_JSTATE_STOPPED:
      return "stopped";
    case IPP_JSTATE_CANCELED:
      return "canceled";
    case IPP_JSTATE_ABORTED:
      return "aborted";
    case IPP_JSTATE_COMPLETED:
      return "completed";
    default:
      return nullptr;
  }
}

std::string TextOf(ipp_attribute_t* attribute) {
  const char* text = attribute ? ippGetString(attribute, 0, nullptr) : nullptr;
  return text ? text : "";
}

}  // namespace

CupsJobState QueryCupsJob(int job) {
  if (job <= 0) throw Error(NoSuchJob(job));
  const Connection connection;
  const std::string uri = "ipp://localhost/jobs/" + std::to_string(job);
  static const char* const kAttributes[] = {"job-state", "job-state-reasons", "job-state-message",
                                            "job-originating-user-name"};
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(std::size(kAttributes)), nullptr, kAttributes);
  const Response response(cupsDoRequest(connection.Get(), request, "/"));
  const ipp_status_t status = cupsLastError();
  if (status == IPP_STATUS_ERROR_NOT_FOUND) throw Error(NoSuchJob(job));
  if (!response.Get() || status > IPP_STATUS_OK_CONFLICTING)
    throw Error("The print scheduler did not tell the state of job " + std::to_string(job) + ": " +
                Reason());

  // Another user's job is not this user's business: it is reported as unknown, like a job
  // that does not exist.
  const std::string owner =
      TextOf(ippFindAttribute(response.Get(), "job-originating-user-name", IPP_TAG_NAME));
  ipp_attribute_t* state = ippFindAttribute(response.Get(), "job-state", IPP_TAG_ENUM);
  const char* name = state ? StateName(ippGetInteger(state, 0)) : nullptr;
  if (owner != cupsUser() || !name) throw Error(NoSuchJob(job));

  CupsJobState result;
  result.job = job;
  result.state = name;
  if (ipp_attribute_t* reasons =
          ippFindAttribute(response.Get(), "job-state-reasons", IPP_TAG_KEYWORD)) {
    for (int i = 0; i < ippGetCount(reasons); ++i)
      if (const char* reason = ippGetString(reasons, i, nullptr)) result.reasons.push_back(reason);
  }
  result.message = TextOf(ippFindAttribute(response.Get(), "job-state-message", IPP_TAG_TEXT));
  return result;
}

}  // namespace tavo
