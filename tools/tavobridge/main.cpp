// tavobridge: the local service that hosts the print control for web pages, as a script host
// did. It listens on the loopback addresses only, or takes the connections of its user's
// processes from the system's dispatcher (--user-socket; the dispatcher is the same program
// with --dispatch); each page connection is served by its own worker process (--worker).
#include <dlfcn.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QString>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Application.h"
#include "OriginPrompt.h"
#include "StopSignals.h"
#include "Translation.h"
#include "Users.h"
#include "Worker.h"
#include "bridge/BridgeServer.h"
#include "bridge/Dispatcher.h"
#include "bridge/HandOver.h"
#include "bridge/SocketActivation.h"
#include "bridge/UserSocket.h"
#include "bridge/WorkerConfinement.h"
#include "platform/com/Activation.h"
#include "platform/com/ClassFactory.h"

namespace fs = std::filesystem;
using namespace tavo;
using namespace tavo::bridge;
using namespace tavo::tool;

namespace {

constexpr char16_t kProgId[] = u"TavoPreFmtPrinterX.TavoPreFmtPrinter";
constexpr const char* kModuleName = "TavoPreFmtPrinter2X.so";
// Shown translated; the log lines the bridge writes stay English, for the scripts that read them.
constexpr const char* kUsage = Translatable(
    R"(usage: tavobridge [--port N | --user-socket] [--policy FILE] [--files DIR] [--registry FILE]
                  [--allow ORIGIN]...
       tavobridge --dispatch
       tavobridge --help | --version
  --port N         the port on 127.0.0.1 and ::1 (default 17370, or TAVO_BRIDGE_PORT; 0: a free one)
  --user-socket    serve the connections the system's dispatcher hands over, at
                   $XDG_RUNTIME_DIR/tavo/bridge.sock, instead of listening on a port
  --dispatch       the system's dispatcher: hand each connection on the sockets systemd passes
                   to the bridge of the user whose process made it
  --policy FILE    your origin policy (default ~/.config/tavo/bridge-origins); the machine's,
                   /etc/tavo/bridge-origins, is read as well
  --files DIR      the pages' folders (default ~/.local/share/tavo/bridge-files)
  --registry FILE  the one registry file to use
  --allow ORIGIN   allow an origin for this run
exit status: 0 stopped, 1 cannot start, 2 usage error
)");

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Options {
  std::optional<std::string> port, policy, files, registry;
  std::vector<std::string> allow;
  bool userSocket = false;
};

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--user-socket") {
      options.userSocket = true;
      continue;
    }
    if (i + 1 >= argc)
      throw UsageError(name == "--help" ? "" : Tr("unknown or incomplete option %1", {name}));
    const std::string value = argv[++i];
    if (name == "--port")
      options.port = value;
    else if (name == "--policy")
      options.policy = value;
    else if (name == "--files")
      options.files = value;
    else if (name == "--registry")
      options.registry = value;
    else if (name == "--allow")
      options.allow.push_back(value);
    else
      throw UsageError(Tr("unknown option %1", {name}));
  }
  if (options.userSocket && options.port)
    throw UsageError(Tr("--port and --user-socket exclude each other"));
  return options;
}

uint16_t PortOf(const std::string& text) {
  char* end = nullptr;
  const long port = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || port < 0 || port > 65535)
    throw UsageError(Tr("not a port number: %1", {text}));
  return static_cast<uint16_t>(port);
}

fs::path XdgDir(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  if (value && *value == '/') return value;
  const char* home = std::getenv("HOME");
  return fs::path(home ? home : ".") / fallback;
}

fs::path SelfDir() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::current_path() : self.parent_path();
}

// The first of the places a shared file may be installed in that exists.
fs::path Installed(const std::string& relativeInShare, const std::string& relativeInSource) {
  for (const fs::path& candidate : {SelfDir() / ".." / "share" / "tavo" / relativeInShare,
                                    fs::path(TAVO_SOURCE_DIR) / relativeInSource}) {
    std::error_code error;
    if (fs::exists(candidate, error)) return fs::weakly_canonical(candidate, error);
  }
  return {};
}

bool ControlRegistered() {
  CLSID clsid{};
  return CLSIDFromProgID(kProgId, &clsid) == S_OK;
}

// Registers the module installed beside the bridge when the class is not registered yet.
void EnsureRegistered() {
  if (ControlRegistered()) return;
  fs::path module = SelfDir() / kModuleName;
  std::error_code missing;
  if (!fs::exists(module, missing)) module = fs::path(TAVO_INSTALLED_MODULE_DIR) / kModuleName;
  void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    std::fprintf(stderr, "tavobridge: the control is not registered and %s cannot be loaded: %s\n",
                 module.c_str(), dlerror());
    return;
  }
  auto registerServer =
      reinterpret_cast<DllRegisterServerFunction>(dlsym(handle, "DllRegisterServer"));
  const HRESULT status = registerServer ? registerServer() : E_FAIL;
  if (FAILED(status)) {
    std::fprintf(stderr, "tavobridge: registering %s failed (0x%08X)\n", module.c_str(),
                 static_cast<unsigned>(status));
  } else {
    std::fprintf(stderr,
                 "tavobridge: the control was not registered; registered %s for this user\n",
                 module.c_str());
  }
  // The module stays loaded: unloading what registration touched gains nothing.
}

int RunBridge(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  if (options.registry) setenv("TAVO_REGISTRY", fs::absolute(*options.registry).c_str(), 1);
  const char* portVariable = std::getenv("TAVO_BRIDGE_PORT");
  const uint16_t port = PortOf(options.port.value_or(portVariable ? portVariable : "17370"));

  BridgeConfig config;
  config.port = port;
  const fs::path policyFile = options.policy ? fs::absolute(*options.policy) : UserPolicyLocation();
  config.policy = OriginPolicy::Load(policyFile, MachinePolicyLocation());
  if (!config.policy.MachineProblem().empty()) {
    std::fprintf(stderr,
                 "tavobridge: %s; every origin that file names is refused until it is mended\n",
                 config.policy.MachineProblem().c_str());
  }
  for (const std::string& origin : options.allow) {
    if (!config.policy.AllowForRun(origin)) throw UsageError(Tr("not an origin: %1", {origin}));
  }
  config.filesRoot = options.files
                         ? fs::absolute(*options.files)
                         : XdgDir("XDG_DATA_HOME", ".local/share") / "tavo" / "bridge-files";
  config.clientScript = Installed("tavo.js", "clients/js/tavo.js");
  config.designerDir = Installed("designer", "web/designer");
  config.workerProgram = (SelfDir() / "tavobridge").string();
  config.isRegistered = ControlRegistered;
  // The tests shorten the time a silent connection is kept, to see it closed.
  // And the time a question waits for a person, to see it go unanswered.
  if (const char* timeout = std::getenv("TAVO_BRIDGE_PROMPT_TIMEOUT_MS"))
    config.promptTimeoutMs = std::max(100, std::atoi(timeout));
  if (const char* timeout = std::getenv("TAVO_BRIDGE_PING_TIMEOUT_MS")) {
    config.limits.pingTimeoutMs = std::max(100, std::atoi(timeout));
    config.limits.pingIntervalMs =
        std::min(config.limits.pingIntervalMs, config.limits.pingTimeoutMs / 2);
  }

  // Workers are reaped by the system; a write to one that has gone is an error, not a signal.
  ::signal(SIGCHLD, SIG_IGN);
  ::signal(SIGPIPE, SIG_IGN);
  // Taken from the event loop, before Qt's threads exist (they keep the blocked mask).
  const StopSignals stopSignals;
  int qtArgc = 1;
  std::optional<std::string> displayProblem;
  auto application = MakeApplication(qtArgc, argv, displayProblem);
  LogDisplay(displayProblem);
  config.hasDisplay = ShowsWindows();
  if (config.hasDisplay) config.prompt = ShowOriginPrompt;
  config.userName = UserName();
  if (LandlockAbi() == 0) {
    std::fprintf(stderr,
                 "tavobridge: this kernel has no Landlock: pages are kept in their folders by the "
                 "bridge's own checks only\n");
  }
  EnsureRegistered();

  BridgeServer server(std::move(config));
  std::unique_ptr<UserSocket> userSocket;
  if (options.userSocket) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime != '/')
      throw std::runtime_error(
          Tr("--user-socket needs XDG_RUNTIME_DIR, the user's runtime folder (a user session sets "
             "it)"));
    userSocket = std::make_unique<UserSocket>(
        fs::path(runtime) / kUserSocketName, HandOverUsers(),
        [&server](FileDescriptor connection) { server.ServeConnection(std::move(connection)); });
  } else {
    QString error;
    if (!server.Listen(error)) {
      std::fprintf(stderr, "tavobridge: %s\n", qPrintable(error));
      return 1;
    }
  }
  QSocketNotifier stopNotifier(stopSignals.Descriptor(), QSocketNotifier::Read);
  QObject::connect(&stopNotifier, &QSocketNotifier::activated, [&] {
    stopNotifier.setEnabled(false);
    // The signal's own name, not the locale's words for it: log lines are read by scripts.
    std::fprintf(stderr, "tavobridge: SIG%s: stopping\n", sigabbrev_np(stopSignals.Take()));
    userSocket.reset();
    server.Shutdown();
    application->quit();
  });
  if (userSocket)
    std::printf("tavobridge listening on %s\n", userSocket->Path().c_str());
  else
    std::printf("tavobridge listening on 127.0.0.1:%u\n", server.Port());
  std::fflush(stdout);
  return application->exec();
}

int RunDispatcher() {
  ::signal(SIGPIPE, SIG_IGN);
  const StopSignals stopSignals;
  std::vector<PassedSocket> sockets = TakePassedSockets();
  std::string addresses;
  for (const PassedSocket& socket : sockets) addresses += " " + socket.address;
  Dispatcher dispatcher(std::move(sockets), stopSignals.Descriptor());
  std::printf("tavobridge dispatching%s to each user's bridge\n", addresses.c_str());
  std::fflush(stdout);
  dispatcher.Run();
  std::fprintf(stderr, "tavobridge: %s: stopping\n", strsignal(stopSignals.Take()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  // Qt takes the texts as UTF-8, whatever the locale's character set.
  UseTranslations(TextEncoding::Utf8);
  if (argc == 2 && std::string(argv[1]) == "--worker") return RunWorker(argc, argv);
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(Tr(kUsage).c_str(), stdout);
    return 0;
  }
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("tavobridge %s\n", TAVO_PRODUCT_VERSION);
    return 0;
  }
  try {
    if (argc == 2 && std::string(argv[1]) == "--dispatch") return RunDispatcher();
    return RunBridge(argc, argv);
  } catch (const UsageError& error) {
    std::fprintf(stderr, "tavobridge: %s\n%s", error.what(), Tr(kUsage).c_str());
    return 2;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tavobridge: %s\n", error.what());
    return 1;
  }
}
