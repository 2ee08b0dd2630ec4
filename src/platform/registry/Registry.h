// The component registry's HKEY_CLASSES_ROOT, kept in one file that every process of the user
// shares. Reads see a whole registry as some writer left it; every change is applied to the
// newest file under an exclusive lock and lands whole or not at all, so a crash never leaves a
// half-written registry and two processes registering at once lose nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "platform/registry/RegistryTree.h"

namespace tavo {

// The environment variable TAVO_REGISTRY when set, else $XDG_DATA_HOME/tavo/registry.reg
// (XDG_DATA_HOME defaults to ~/.local/share).
std::filesystem::path RegistryLocation();

// The registry as it stands. A missing file is an empty registry; a damaged or oversized file
// is an Error. Needs only read access.
RegistryTree ReadRegistry();
RegistryTree ReadRegistryFile(const std::filesystem::path& file);

// Applies `change` to the newest registry and stores the result. When `change` throws, nothing
// is stored and the exception passes on. A failure to store is an Error.
void ModifyRegistry(const std::function<void(RegistryTree&)>& change);
void ModifyRegistryFile(const std::filesystem::path& file,
                        const std::function<void(RegistryTree&)>& change);

// The largest registry file that is read.
inline constexpr std::uintmax_t kMaxRegistryFileSize = 64u << 20;

}  // namespace tavo
