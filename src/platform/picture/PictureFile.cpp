// Picture files: the kind is chosen by the extension, as the form's background loader always did;
// only a name without extension is recognised by its first bytes.
#include "platform/picture/PictureFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/core/FileDescriptor.h"
#include "platform/picture/DecodedPictures.h"

namespace tavo {
namespace {

using Decoder = std::optional<Graphic> (*)(std::span<const uint8_t>);

// The open picture file's identity; throws unless it is a regular file.
FileIdentity RegularFileIdentity(const FileDescriptor& file, const std::string& ansiPath) {
  if (file.Get() < 0) throw Error("Cannot open picture file " + ansiPath);
  struct stat status {};
  if (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    throw Error("Cannot read picture file " + ansiPath);
  }
  return FileIdentity::Of(status);
}

std::vector<uint8_t> ReadWholeFile(const FileDescriptor& file, const FileIdentity& identity,
                                   const std::string& ansiPath) {
  if (static_cast<uint64_t>(identity.size) > kMaxPictureFileBytes) {
    throw Error("Picture file " + ansiPath + " is too large");
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(identity.size));
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = ::read(file.Get(), bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw Error("Cannot read picture file " + ansiPath);
    if (got == 0) break;  // the file shrank while we read it
    done += static_cast<size_t>(got);
  }
  bytes.resize(done);
  return bytes;
}

// The extension as written, without its dot; empty when the file name has none.
std::string ExtensionOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return path.substr(dot + 1);
}

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool StartsWith(std::span<const uint8_t> bytes, std::initializer_list<uint8_t> prefix) {
  return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

// Recognises a picture by its first bytes; nothing when the content is none of ours.
Decoder SniffDecoder(std::span<const uint8_t> bytes) {
  if (StartsWith(bytes, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) return DecodePng;
  if (StartsWith(bytes, {0xFF, 0xD8, 0xFF})) return DecodeJpeg;
  if (StartsWith(bytes, {'B', 'M'})) return DecodeBmp;
  if (StartsWith(bytes, {0, 0, 1, 0}) || StartsWith(bytes, {0, 0, 2, 0})) return DecodeIco;
  return nullptr;
}

// The decoder for a file's extension; nothing for a name without extension. Throws for
// extensions that are not pictures we can show.
Decoder DecoderForExtension(const std::string& extension) {
  const std::string lower = AsciiLower(extension);
  if (lower.empty()) return nullptr;
  if (lower == "bmp") return DecodeBmp;
  if (lower == "ico") return DecodeIco;
  if (lower == "jpg" || lower == "jpeg") return DecodeJpeg;
  if (lower == "png") return DecodePng;
  if (lower == "emf") throw Error("EMF pictures are not supported");
  if (lower == "wmf") throw Error("WMF pictures are not supported");
  throw Error("Unknown picture file extension (." + extension + ")");
}

}  // namespace

Picture LoadPictureFile(const std::string& ansiPath) {
  Decoder decoder = DecoderForExtension(ExtensionOf(ansiPath));
  // Non-blocking, so that naming a FIFO cannot hang the caller; regular files ignore the flag.
  const FileDescriptor file(
      ::open(codepage::AnsiToUtf8(ansiPath).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  const FileIdentity identity = RegularFileIdentity(file, ansiPath);
  // The kind comes from the name, so the same file under another name may decode otherwise.
  const std::string kind = AsciiLower(ExtensionOf(ansiPath));
  if (std::optional<Picture> decoded = FindDecodedPicture(identity, kind)) return *decoded;
  const std::vector<uint8_t> bytes = ReadWholeFile(file, identity, ansiPath);
  Picture picture;
  if (!decoder) decoder = SniffDecoder(bytes);
  if (!decoder) return picture;
  if (std::optional<Graphic> graphic = decoder(bytes)) picture.Assign(std::move(*graphic));
  if (static_cast<int64_t>(bytes.size()) == identity.size)
    KeepDecodedPicture(identity, kind, picture);
  return picture;
}

}  // namespace tavo
