#include "support/CupsScheduler.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace tavo::test {
namespace {

constexpr const char* kCupsd = "/usr/sbin/cupsd";
constexpr auto kStartTimeout = std::chrono::seconds(20);
constexpr auto kStopTimeout = std::chrono::seconds(10);
constexpr const char* kCupsPdfConfigDir = "/etc/cups";

bool CanConnect(const std::string& socketPath) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof(address.sun_path) - 1);
  const bool connected =
      connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  close(fd);
  return connected;
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

bool CupsScheduler::Installed() { return access(kCupsd, X_OK) == 0; }

CupsScheduler::CupsScheduler() {
  if (const char* server = std::getenv("CUPS_SERVER")) {
    previousServer_ = server;
    hadPreviousServer_ = true;
  }
  if (!Installed()) {
    failure_ = std::string(kCupsd) + " is not installed";
    return;
  }
  if (!Start()) Stop();
}

CupsScheduler::~CupsScheduler() {
  Stop();
  for (const std::string& config : pdfConfigs_) std::remove(config.c_str());
  if (hadPreviousServer_)
    setenv("CUPS_SERVER", previousServer_.c_str(), 1);
  else
    unsetenv("CUPS_SERVER");
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
}

std::string CupsScheduler::ErrorLog() const { return ReadFile(dir_ + "/log/error_log"); }

// cupsd runs its filters and backends as lp, never as root: the folders they write to belong to
// the lp group, and the folder above is open for lp to pass through.
bool CupsScheduler::WriteConfiguration() {
  const std::string& d = dir_;
  const group* lp = getgrnam("lp");
  for (const char* sub :
       {"run", "spool", "spool/tmp", "cache", "state", "tmp", "log", "pdf", "pdf-spool", "ppd"}) {
    const std::string path = d + "/" + sub;
    if (mkdir(path.c_str(), 0770) != 0 && errno != EEXIST) return false;
    if (lp && chown(path.c_str(), 0, lp->gr_gid) != 0 && geteuid() == 0) return false;
    chmod(path.c_str(), std::strcmp(sub, "pdf") == 0 ? 0777 : 0770);
  }
  chmod(d.c_str(), 0755);
  const std::string cupsd =
      "LogLevel info\n"
      "Listen " +
      SocketPath() +
      "\n"
      "Browsing No\n"
      "DefaultShared No\n"
      "WebInterface No\n"
      "DefaultAuthType None\n"
      "PreserveJobHistory Yes\n"
      "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
      "<Policy default>\n"
      "  JobPrivateAccess all\n  JobPrivateValues none\n"
      "  SubscriptionPrivateAccess all\n  SubscriptionPrivateValues none\n"
      "  <Limit All>\n    Order deny,allow\n    Allow all\n  </Limit>\n"
      "</Policy>\n";
  const std::string files = "ServerRoot " + d +
                            "\n"
                            "RequestRoot " +
                            d +
                            "/spool\n"
                            "CacheDir " +
                            d +
                            "/cache\n"
                            "StateDir " +
                            d +
                            "/state\n"
                            "TempDir " +
                            d +
                            "/tmp\n"
                            "AccessLog " +
                            d +
                            "/log/access_log\n"
                            "ErrorLog " +
                            d +
                            "/log/error_log\n"
                            "PageLog " +
                            d +
                            "/log/page_log\n"
                            "ServerBin /usr/lib/cups\n"
                            "DataDir /usr/share/cups\n"
                            "FileDevice Yes\n"
                            "User lp\n"
                            "Group lp\n";
  return WriteFile(d + "/cupsd.conf", cupsd) && WriteFile(d + "/cups-files.conf", files);
}

bool CupsScheduler::Start() {
  std::array<char, 64> pattern{};
  std::snprintf(pattern.data(), pattern.size(), "/tmp/tavo-cups-XXXXXX");
  if (!mkdtemp(pattern.data())) {
    failure_ = std::string("Cannot create a folder for cupsd: ") + std::strerror(errno);
    return false;
  }
  dir_ = pattern.data();
  if (!WriteConfiguration()) {
    failure_ = "Cannot write the cupsd configuration in " + dir_;
    return false;
  }
  const std::string conf = dir_ + "/cupsd.conf", files = dir_ + "/cups-files.conf";
  const std::string out = dir_ + "/log/cupsd.out";
  pid_ = fork();
  if (pid_ < 0) {
    failure_ = std::string("fork: ") + std::strerror(errno);
    return false;
  }
  if (pid_ == 0) {
    const int log = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (log >= 0) {
      dup2(log, STDOUT_FILENO);
      dup2(log, STDERR_FILENO);
    }
    execl(kCupsd, kCupsd, "-f", "-c", conf.c_str(), "-s", files.c_str(), nullptr);
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  while (!CanConnect(SocketPath())) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      failure_ = "cupsd exited at start: " + ReadFile(out) + ErrorLog();
      return false;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      failure_ = "cupsd did not open its socket in time: " + ErrorLog();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  setenv("CUPS_SERVER", SocketPath().c_str(), 1);
  return true;
}

void CupsScheduler::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kStopTimeout;
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  pid_ = -1;
}

CommandResult CupsScheduler::Run(const std::string& command) const {
  CommandResult result;
  const std::string line = "CUPS_SERVER='" + SocketPath() + "' timeout 60 " + command + " 2>&1";
  FILE* pipe = popen(line.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer{};
  size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    result.output.append(buffer.data(), n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// The cups-pdf backend reads its settings only from /etc/cups: cups-pdf.conf, or for a device
// URI cups-pdf:/NAME the file cups-pdf-NAME.conf. Each queue gets a NAME of its own whose file
// sends the output into this scheduler's folder; the file goes when the scheduler does.
bool CupsScheduler::AddPdfQueue(const std::string& name, std::string& error) {
  const std::string device = "tavo-" + std::filesystem::path(dir_).filename().string() + "-" +
                             std::to_string(pdfConfigs_.size());
  const std::string config = std::string(kCupsPdfConfigDir) + "/cups-pdf-" + device + ".conf";
  const std::string settings = "Out " + PdfOutputDir() + "\nAnonDirName " + PdfOutputDir() +
                               "\nSpool " + dir_ + "/pdf-spool\nLog " + dir_ +
                               "/log\nGrp lp\nLabel 0\n";
  if (!WriteFile(config, settings)) {
    error = "Cannot write " + config + " for cups-pdf: " + std::strerror(errno);
    return false;
  }
  pdfConfigs_.push_back(config);
  const CommandResult added = Run("lpadmin -p '" + name + "' -E -v cups-pdf:/" + device +
                                  " -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd");
  if (added.status != 0) {
    error = "lpadmin failed: " + added.output + ErrorLog();
    return false;
  }
  return true;
}

bool CupsScheduler::AddSinkQueue(const std::string& name, std::string& error) {
  const CommandResult added = Run("lpadmin -p '" + name + "' -E -v file:///dev/null");
  if (added.status != 0) error = "lpadmin failed: " + added.output + ErrorLog();
  return added.status == 0;
}

bool CupsScheduler::AddPdfFileQueue(const std::string& name, const std::string& pdfPath,
                                    std::string& error) {
  constexpr const char* kPdfPrinterPpd =
      "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
      "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"TAVOPDF.PPD\"\n"
      "*Manufacturer: \"Tavo\"\n*Product: \"(Tavo PDF file)\"\n*ModelName: \"Tavo PDF file\"\n"
      "*ShortNickName: \"Tavo PDF file\"\n*NickName: \"Tavo PDF file\"\n"
      "*cupsFilter2: \"application/vnd.cups-pdf application/pdf 0 -\"\n"
      "*OpenUI *PageSize/Media Size: PickOne\n*DefaultPageSize: A4\n"
      "*PageSize A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\n*CloseUI: *PageSize\n"
      "*DefaultImageableArea: A4\n*ImageableArea A4/A4: \"0 0 595.2756 841.8898\"\n"
      "*DefaultPaperDimension: A4\n*PaperDimension A4/A4: \"595.2756 841.8898\"\n";
  const std::string file = dir_ + "/" + name + ".ppd";
  if (!WriteFile(file, kPdfPrinterPpd)) {
    error = "Cannot write " + file + ": " + std::strerror(errno);
    return false;
  }
  const CommandResult added =
      Run("lpadmin -p '" + name + "' -E -v 'file://" + pdfPath + "' -P '" + file + "'");
  if (added.status != 0) error = "lpadmin failed: " + added.output + ErrorLog();
  return added.status == 0;
}

bool CupsScheduler::AddPpdQueue(const std::string& name, const std::string& ppd,
                                std::string& error) {
  const std::string file = dir_ + "/" + name + ".ppd";
  if (!WriteFile(file, ppd)) {
    error = "Cannot write " + file + ": " + std::strerror(errno);
    return false;
  }
  const CommandResult added =
      Run("lpadmin -p '" + name + "' -E -v file:///dev/null -P '" + file + "'");
  if (added.status != 0) error = "lpadmin failed: " + added.output + ErrorLog();
  return added.status == 0;
}

bool CupsScheduler::WaitForJobs(std::chrono::seconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    const CommandResult pending = Run("lpstat -o");
    if (pending.status == 0 && pending.output.find_first_not_of(" \n") == std::string::npos)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

}  // namespace tavo::test
