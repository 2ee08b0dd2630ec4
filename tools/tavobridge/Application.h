// The Qt application of the bridge and of its workers: a person's display when there is one,
// else offscreen, chosen on the application's command line rather than in the environment so
// that the control in a worker still sees there is no display to show a preview on. Closing a
// window never ends it: the bridge ends on a signal, a worker when its page has gone.
#pragma once

#include <QApplication>
#include <memory>
#include <optional>
#include <string>

namespace tavo::bridge {

// `displayProblem` receives why a display the environment names cannot be opened; the
// application then runs offscreen instead of letting Qt end the process.
std::unique_ptr<QApplication> MakeApplication(int& argc, char** argv,
                                              std::optional<std::string>& displayProblem);

// Whether windows shown by this process reach a person.
bool ShowsWindows();

// Says on standard error whether the bridge's windows (the origin prompt, previews) reach a
// person, and if not why (`problem`: a display named but not opened): the user unit may start
// before the desktop has told the user's services its display.
void LogDisplay(const std::optional<std::string>& problem);

}  // namespace tavo::bridge
