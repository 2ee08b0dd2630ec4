#include "platform/qt/PdfProbe.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>

namespace tavo::test {

std::string RunCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) {
    if (status) *status = -1;
    return output;
  }
  std::array<char, 4096> buffer{};
  size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    output.append(buffer.data(), n);
  const int result = pclose(pipe);
  if (status) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  return output;
}

QImage RenderRegion(const std::string& pdf, int dpi, int x, int y, int width, int height) {
  const std::string prefix = pdf + ".probe";
  std::ostringstream command;
  command << "pdftoppm -png -singlefile -r " << dpi << " -x " << x << " -y " << y << " -W " << width
          << " -H " << height << " '" << pdf << "' '" << prefix << "'";
  RunCommand(command.str());
  QImage image(QString::fromStdString(prefix + ".png"));
  std::filesystem::remove(prefix + ".png");
  return image.convertToFormat(QImage::Format_RGB32);
}

std::vector<WordBox> WordBoxes(const std::string& pdf) {
  const std::string html = RunCommand("pdftotext -bbox '" + pdf + "' -");
  static const std::regex word(
      R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
  std::vector<WordBox> boxes;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator();
       ++it) {
    const std::smatch& m = *it;
    boxes.push_back(WordBox{m[5].str(), std::stod(m[1].str()), std::stod(m[2].str()),
                            std::stod(m[3].str()), std::stod(m[4].str())});
  }
  return boxes;
}

std::map<std::string, std::string> PdfInfo(const std::string& pdf) {
  std::map<std::string, std::string> info;
  std::istringstream lines(RunCommand("pdfinfo '" + pdf + "'"));
  std::string line;
  while (std::getline(lines, line)) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const size_t start = line.find_first_not_of(' ', colon + 1);
    info[line.substr(0, colon)] = start == std::string::npos ? "" : line.substr(start);
  }
  return info;
}

bool IsDark(QRgb pixel) { return qGray(pixel) < 128; }

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tavo-qt-test-XXXXXX").string();
  if (mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::Files() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_))
    names.push_back(entry.path().filename().string());
  return names;
}

}  // namespace tavo::test
