#include "GrowthDocuments.h"

#include <array>

namespace tavo::bench {
namespace {

struct GoodsRow {
  const char* name;
  const char* model;
  const char* unit;
};

constexpr std::array<GoodsRow, 8> kGoods{{
    {"*纸制品*复印纸 A4 70g（每箱5包，每包500张）", "A4-70g", "箱"},
    {"*办公用品*中性笔 0.5mm 黑色", "GP-1008", "盒"},
    {"*办公用品*文件夹", "A4 双夹", "个"},
    {"*计算机外部设备*无线键盘鼠标套装", "KM-220", "套"},
    {"*办公用品*订书机", "12#", "个"},
    {"*纸制品*便利贴", "76×76", "本"},
    {"*计算机外部设备*激光打印机硒鼓", "CF-230A", "个"},
    {"*办公用品*白板笔", "蓝色", "支"},
}};

std::string Tag(const std::string& name, const std::string& value) {
  return "<" + name + ">" + value + "</" + name + ">";
}

std::string Money(long cents) {
  return std::to_string(cents / 100) + "." + std::to_string(cents % 100 / 10) +
         std::to_string(cents % 10);
}

std::string Attr(const char* name, int value) {
  return std::string(" ") + name + "=\"" + std::to_string(value) + "\"";
}

std::string Box(int left, int top, int width, int height) {
  return Attr("left", left) + Attr("top", top) + Attr("right", left + width) +
         Attr("bottom", top + height);
}

}  // namespace

std::string InvoiceDataWithRows(int rows) {
  std::string body;
  long total = 0;
  for (int i = 0; i < rows; ++i) {
    const GoodsRow& goods = kGoods[static_cast<size_t>(i) % kGoods.size()];
    const long quantity = 1 + i % 97;
    const long price = 125 + (i * 7919L) % 40000;
    const long amount = quantity * price;
    total += amount;
    body += "<row>" + Tag("spmc", goods.name) + Tag("ggxh", goods.model) + Tag("dw", goods.unit) +
            Tag("sl", std::to_string(quantity)) + Tag("dj", Money(price)) +
            Tag("je", Money(amount)) + Tag("slv", "13%") + Tag("se", Money(amount * 13 / 100)) +
            "</row>";
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><invoice><body><data><record>" +
         Tag("fphm", "12345678") + Tag("kprq", "2026年12月08日") +
         Tag("gmfmc", "上海远景办公用品有限公司") + Tag("gmfsbh", "91310115MA1K4C8X2P") +
         Tag("xsfmc", "杭州拓沃信息技术有限公司") + Tag("hjje", "¥" + Money(total)) +
         Tag("hjse", "¥" + Money(total * 13 / 100)) + Tag("jshjdx", "玖仟柒佰玖拾壹元整") +
         Tag("jshj", "¥" + Money(total + total * 13 / 100)) + Tag("skr", "李娜") +
         Tag("fh", "王强") + Tag("kpr", "张伟") + "<rows>" + body +
         "</rows></record></data></body></invoice>";
}

GeneratedForm FormWithElements(int elements, const std::string& stampBase64) {
  constexpr const char* kInk = "$002840A4";
  std::string rule;
  // The invoice number names the job; it also keeps the record a record when no element is bound.
  std::string fields = Tag("fphm", "12345678");
  for (int i = 0; i < elements; ++i) {
    // Spread the elements over the page's 911 x 529 rule pixels.
    const int x = 20 + (i * 97) % 760;
    const int y = 20 + (i * 53) % 470;
    const char* font = i % 7 == 0 ? "黑体" : "宋体";
    const std::string textAttrs = std::string(" fontName=\"") + font + "\"" +
                                  Attr("fontSize", 9 + i % 4) + " fontColor=\"" + kInk + "\"";
    if (i == 0) {
      rule += "<stamp type=\"image\"" + Box(740, 440, 120, 80) +
              " horzAlign=\"otaCenter\" vertAlign=\"otaMiddle\"><text>" + stampBase64 +
              "</text></stamp>";
      continue;
    }
    switch (i % 10) {
      case 0:
      case 1:
        rule += "<line type=\"line\"" + Attr("fromx", x) + Attr("fromy", y) + Attr("tox", x + 120) +
                Attr("toy", y) + Attr("size", 1) + " color=\"" + kInk + "\"><text/></line>";
        break;
      case 2:
        rule += "<frame type=\"rectangle\"" + Box(x, y, 130, 24) + Attr("size", 2) + " color=\"" +
                kInk + "\"><text/></frame>";
        break;
      case 3:
      case 4:
      case 5:
        rule += "<label type=\"text\"" + Box(x, y, 100, 20) +
                " horzAlign=\"otaLeft\" vertAlign=\"otaMiddle\"" + textAttrs +
                " wordBreak=\"false\"><text>纳税人识别号" + std::to_string(i) + ":</text></label>";
        break;
      default: {
        // Appended, not concatenated: GCC 12 warns falsely on "f" + std::to_string(i) at -O3.
        std::string id = "f";
        id += std::to_string(i);
        rule += "<field type=\"field\" id=\"" + id + "\" index=\"0\"" + Box(x, y, 110, 20) +
                " horzAlign=\"" + (i % 2 ? "otaRight" : "otaLeft") + "\" vertAlign=\"otaTop\"" +
                textAttrs + " wordBreak=\"" + (i % 3 ? "false" : "true") + "\"><text/></field>";
        fields += Tag(id, i % 3 ? "¥" + Money(i * 1237L % 1000000) : "上海远景办公用品有限公司");
      }
    }
  }
  return GeneratedForm{
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rule><body><printing pageWidth=\"241\" "
      "pageHeight=\"140\" width=\"911\" height=\"529\" dpix=\"96\" dpiy=\"96\" offsetLeft=\"0\" "
      "offsetTop=\"0\" landscape=\"true\" repeatableRowAutoHeightAndTop=\"true\" "
      "repeatableRowSpace=\"1\">" +
          rule + "</printing></body></rule>",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><invoice><body><data><record>" + fields +
          "</record></data></body></invoice>"};
}

}  // namespace tavo::bench
