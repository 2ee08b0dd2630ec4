// The version resources of files, read as the original platform's version information functions
// read them: PE files (.exe, .dll, .ocx) through their RT_VERSION resource, ELF files through a
// section named ".versioninfo" holding the same VS_VERSIONINFO block. Any other file has no
// version resource. Nothing read from a file is trusted: every size and offset is checked.
//
// The block that GetFileVersionInfoA fills is laid out as the original platform lays it out:
// the VS_VERSIONINFO structure first, then a 4-byte signature, then a conversion area in which
// VerQueryValueA keeps the ANSI copy of each string it is asked for. Each string has its own
// slot there, so asking again overwrites the same bytes and the block never grows.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tavo {

constexpr uint32_t VS_FFI_SIGNATURE = 0xFEEF04BD;
constexpr uint32_t VFT_APP = 1;
constexpr uint32_t VFT_DLL = 2;

// The fixed-size version record, the Value of the block's root.
struct VS_FIXEDFILEINFO {
  uint32_t dwSignature;
  uint32_t dwStrucVersion;
  uint32_t dwFileVersionMS;
  uint32_t dwFileVersionLS;
  uint32_t dwProductVersionMS;
  uint32_t dwProductVersionLS;
  uint32_t dwFileFlagsMask;
  uint32_t dwFileFlags;
  uint32_t dwFileOS;
  uint32_t dwFileType;
  uint32_t dwFileSubtype;
  uint32_t dwFileDateMS;
  uint32_t dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

// The size of the block GetFileVersionInfoA needs for `path` (ANSI), or 0 when the file has no
// readable version resource. `handle`, when given, is set to 0.
uint32_t GetFileVersionInfoSizeA(const char* path, uint32_t* handle);

// Reads the version block of `path` into `data`. `len` must be at least what
// GetFileVersionInfoSizeA answered: a cut block could not be read safely, so a smaller buffer
// fails rather than being filled in part. `handle` is ignored.
bool GetFileVersionInfoA(const char* path, uint32_t handle, uint32_t len, void* data);

// Looks up `subBlock` in a block filled by GetFileVersionInfoA. Keys compare without regard to
// ASCII letter case.
//  "\"                                  the VS_FIXEDFILEINFO; `len` its size in bytes
//  "\StringFileInfo\<lang-cp>\<name>"   the string as ANSI text, zero-terminated, in the block's
//                                       conversion area (the block is written to, as on the
//                                       original platform); `len` its bytes with the zero
//  "\VarFileInfo\Translation"           the translation array; `len` its size in bytes
// Any other node answers its value: text as above, anything else as raw bytes.
bool VerQueryValueA(const void* block, const char* subBlock, void** buffer, uint32_t* len);

// The numeric file version of a file: major, minor, release, build.
struct VersionNumbers {
  std::array<uint16_t, 4> parts{};
  friend bool operator==(const VersionNumbers&, const VersionNumbers&) = default;
};

// The file version from the fixed version record of `ansiPath`, or none when the file has no
// version resource or the record is missing or damaged.
std::optional<VersionNumbers> ReadFixedFileVersion(const std::string& ansiPath);

}  // namespace tavo
