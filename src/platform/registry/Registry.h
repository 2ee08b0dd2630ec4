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

// The user's registry file, where changes go: the environment variable TAVO_REGISTRY when set,
// else $XDG_DATA_HOME/tavo/registry.reg (XDG_DATA_HOME defaults to ~/.local/share).
std::filesystem::path RegistryLocation();

// The machine's registry file, written at package installation and read by every user:
// TAVO_MACHINE_REGISTRY when set, else /var/lib/tavo/registry.reg.
std::filesystem::path MachineRegistryLocation();

// The registry as it stands: the user's file over the machine's, key by key, as
// HKEY_CLASSES_ROOT shows a user's classes over the machine's; with TAVO_REGISTRY set, that
// one file alone. A missing file is an empty registry; a damaged or oversized file is an
// Error naming it. Needs only read access.
RegistryTree ReadRegistry();

// `user` over `machine`: every key of either, and where the user has a key, its values alone.
RegistryTree MergeRegistries(RegistryTree machine, const RegistryTree& user);
RegistryTree ReadRegistryFile(const std::filesystem::path& file);

// Applies `change` to the newest registry and stores the result. When `change` throws, nothing
// is stored and the exception passes on. A failure to store is an Error.
void ModifyRegistry(const std::function<void(RegistryTree&)>& change);
void ModifyRegistryFile(const std::filesystem::path& file,
                        const std::function<void(RegistryTree&)>& change);

// The largest registry file that is read.
inline constexpr std::uintmax_t kMaxRegistryFileSize = 64u << 20;

}  // namespace tavo
