// The kernel's part of a page's confinement: a worker restricts itself with Landlock before its
// first call, so that even a path the bridge's checks let through by mistake reaches nothing
// outside the page's folder. Writes go only beneath the page's folder and the worker's own
// temporary folder (plus fontconfig's cache and the null devices); reads go everywhere but the
// user's home, where only what the control needs is named.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tavo::bridge {

struct WorkerConfinement {
  std::vector<std::filesystem::path> writable;  // read and write beneath each
  std::vector<std::filesystem::path> readable;  // read beneath each
  // Reads beneath it only where `readable` or `writable` name a place; empty: reads anywhere.
  std::filesystem::path home;
};

// What the worker of the page whose folder is `pageFolder` needs, from this process's
// environment: `tempFolder` is the worker's own, `moduleFolder` the control's (its preview
// dialog module is loaded from there), `registryFiles` those the component runtime reads.
WorkerConfinement ConfinementFor(const std::filesystem::path& pageFolder,
                                 const std::filesystem::path& tempFolder,
                                 const std::filesystem::path& moduleFolder,
                                 const std::vector<std::filesystem::path>& registryFiles);

// The Landlock ABI version the kernel offers; 0 when it has none (or it is turned off).
int LandlockAbi();

// Restricts this process (and what it starts) for good. Returns the ABI version used, 0 when
// the kernel has no Landlock (nothing is restricted then). Throws std::runtime_error when the
// kernel has Landlock and the restriction fails.
int ApplyConfinement(const WorkerConfinement& confinement);

}  // namespace tavo::bridge
