#include "platform/cairo/FontMapping.h"

#include <fontconfig/fontconfig.h>

#include <mutex>

#include "platform/core/Error.h"

namespace tavo {
namespace {

// Windows names first, each bound strongly so that the free font wins over any other candidate:
// the forms were laid out with these metrics (half-width Latin, full-width CJK).
constexpr const char kFontMapping[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <match target="pattern">
    <test name="family"><string>宋体</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>AR PL UMing CN</string></edit>
  </match>
  <match target="pattern">
    <test name="family" ignore-blanks="true"><string>SimSun</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>AR PL UMing CN</string></edit>
  </match>
  <match target="pattern">
    <test name="family"><string>新宋体</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>AR PL UMing CN</string></edit>
  </match>
  <match target="pattern">
    <test name="family" ignore-blanks="true"><string>NSimSun</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>AR PL UMing CN</string></edit>
  </match>
  <match target="pattern">
    <test name="family"><string>黑体</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>WenQuanYi Zen Hei Mono</string></edit>
  </match>
  <match target="pattern">
    <test name="family" ignore-blanks="true"><string>SimHei</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>WenQuanYi Zen Hei Mono</string></edit>
  </match>
  <match target="pattern">
    <test name="family"><string>楷体</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>AR PL UKai CN</string></edit>
  </match>
  <match target="pattern">
    <test name="family" ignore-blanks="true"><string>KaiTi</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>AR PL UKai CN</string></edit>
  </match>
  <match target="pattern">
    <test name="family"><string>微软雅黑</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>Noto Sans CJK SC</string></edit>
  </match>
  <match target="pattern">
    <test name="family" ignore-blanks="true"><string>Microsoft YaHei</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>Noto Sans CJK SC</string></edit>
  </match>
  <match target="pattern">
    <test name="family" ignore-blanks="true"><string>Arial</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>Liberation Sans</string></edit>
  </match>
  <match target="pattern">
    <test name="family" ignore-blanks="true"><string>Times New Roman</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>Liberation Serif</string></edit>
  </match>
  <match target="pattern">
    <test name="family" ignore-blanks="true"><string>Courier New</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>Liberation Mono</string></edit>
  </match>
</fontconfig>
)";

}  // namespace

namespace {

std::mutex mappingMutex;
bool mappingLoaded = false;

}  // namespace

void LoadFontMapping() {
  const std::lock_guard lock(mappingMutex);
  if (mappingLoaded) return;
  FcConfig* config = FcConfigGetCurrent();
  if (!config || !FcConfigParseAndLoadFromMemory(
                     config, reinterpret_cast<const FcChar8*>(kFontMapping), FcTrue))
    throw Error("The font mapping could not be loaded into fontconfig");
  mappingLoaded = true;
}

}  // namespace tavo
