// The Qt application of the bridge and of its workers: a person's display when there is one,
// else offscreen, chosen on the application's command line rather than in the environment so
// that the control in a worker still sees there is no display to show a preview on.
#pragma once

#include <QApplication>
#include <memory>

namespace tavo::bridge {

std::unique_ptr<QApplication> MakeApplication(int& argc, char** argv);

// Whether windows shown by this process reach a person.
bool ShowsWindows();

}  // namespace tavo::bridge
