#include "platform/registry/RegistryText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/core/Error.h"

namespace tavo {
namespace {

using ::testing::HasSubstr;

const std::string kHeader = "Windows Registry Editor Version 5.00\n";

TEST(RegistryText, RoundTripKeepsKeysValuesEscapesAndChineseText) {
  RegistryTree tree;
  tree.SetValue("CLSID\\{0A1B}", "", "TavoPreFmtPrinter Control 2.0");
  tree.SetValue("CLSID\\{0A1B}\\InprocServer32", "", "C:\\dir with \"quotes\"\\模块.so");
  tree.SetValue("CLSID\\{0A1B}\\InprocServer32", "Threading\"Model\\", "Apartment");
  tree.SetValue("CLSID\\{0A1B}\\打印", "名字", "\\\\server\\share\\");
  tree.SetValue("Empty\\Value", "", "");
  tree.CreateKey("CLSID\\{0A1B}\\Control");
  tree.SetTypedValue("Typed", "Flags", {RegistryValue::Kind::Other, "dword:0000ABCD"});
  tree.SetValue("", "RootValue", "at the root");

  const std::string text = FormatRegistryText(tree);
  EXPECT_EQ(ParseRegistryText(text, "registry.reg"), tree);
  EXPECT_THAT(text, HasSubstr("[HKEY_CLASSES_ROOT\\CLSID\\{0A1B}\\InprocServer32]\n"
                              "@=\"C:\\\\dir with \\\"quotes\\\"\\\\模块.so\"\n"
                              "\"Threading\\\"Model\\\\\"=\"Apartment\"\n"));
  EXPECT_THAT(text, HasSubstr("[HKEY_CLASSES_ROOT\\CLSID\\{0A1B}\\Control]\n\n"));
  EXPECT_EQ(text.rfind(kHeader + "\n[HKEY_CLASSES_ROOT]\n", 0), 0u);
}

TEST(RegistryText, ReadsAWindowsExport) {
  const std::string text =
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
      "\r\n"
      "; exported by hand\r\n"
      "[HKEY_CLASSES_ROOT\\TavoPreFmtPrinterX.TavoPreFmtPrinter\\Clsid]\r\n"
      "@=\"{0A1B}\"\r\n"
      "\r\n"
      "[hkey_classes_root\\Binary]  \r\n"
      "\"Data\" = hex:01,02,\\\r\n"
      "  03,04\r\n"
      "\"Path\"=hex(2):41,00,00,00\r\n";
  const RegistryTree tree = ParseRegistryText(text, "registry.reg");
  EXPECT_EQ(tree.GetValue("TavoPreFmtPrinterX.TavoPreFmtPrinter\\CLSID", ""), "{0A1B}");
  EXPECT_TRUE(tree.KeyExists("TavoPreFmtPrinterX.TavoPreFmtPrinter"));
  ASSERT_NE(tree.FindValue("Binary", "Data"), nullptr);
  EXPECT_EQ(tree.FindValue("Binary", "Data")->data, "hex:01,02,03,04");
  EXPECT_EQ(tree.GetValue("Binary", "Path"), "A");
}

TEST(RegistryText, EmptyTextIsAnEmptyRegistry) {
  EXPECT_EQ(ParseRegistryText("", "r.reg"), RegistryTree());
  EXPECT_EQ(ParseRegistryText("\n \r\n", "r.reg"), RegistryTree());
  EXPECT_EQ(ParseRegistryText(kHeader, "r.reg"), RegistryTree());
}

TEST(RegistryText, DamageNamesTheFileAndTheLine) {
  struct Case {
    std::string body;  // after the header line
    int line;
  };
  const std::vector<Case> cases{
      {"\n[HKEY_CLASSES_ROOT\\A\n", 3},
      {"[HKEY_CLASSES_ROOT\\A]\n@=\"unterminated\n", 3},
      {"[HKEY_CLASSES_ROOT\\A]\n@=\"x\"\n\ngarbage here\n", 5},
      {"@=\"value before any key\"\n", 2},
      {"[HKEY_CURRENT_USER\\Software]\n", 2},
      {"[HKEY_CLASSES_ROOTX\\A]\n", 2},
      {"[HKEY_CLASSES_ROOT\\A\\\\B]\n", 2},
      {"[HKEY_CLASSES_ROOT\\A\\]\n", 2},
      {"[-HKEY_CLASSES_ROOT\\A]\n", 2},
      {"[HKEY_CLASSES_ROOT\\A]\n\"x\"=-\n", 3},
      {"[HKEY_CLASSES_ROOT\\A]\n@=\"bad \\n escape\"\n", 3},
      {"[HKEY_CLASSES_ROOT\\A]\n@=\"x\" trailing\n", 3},
      {"[HKEY_CLASSES_ROOT\\A]\n@\"x\"\n", 3},
      {"[HKEY_CLASSES_ROOT\\A]\n@=dword:123\n", 3},
      {"[HKEY_CLASSES_ROOT\\A]\n@=hex:0g\n", 3},
      {"[HKEY_CLASSES_ROOT\\A]\n\n@=hex:01,\\\n", 4},
      {"[HKEY_CLASSES_ROOT\\A]\n@=\"\xB7\xA2\"\n", 3},
  };
  for (const Case& c : cases) {
    try {
      ParseRegistryText(kHeader + c.body, "/home/u/registry.reg");
      ADD_FAILURE() << "accepted: " << c.body;
    } catch (const Error& e) {
      EXPECT_THAT(e.what(), HasSubstr("'/home/u/registry.reg' is damaged at line " +
                                      std::to_string(c.line) + ":"))
          << c.body;
    }
  }
  EXPECT_THROW(ParseRegistryText("REGEDIT4\n", "r.reg"), Error);
  EXPECT_THROW(ParseRegistryText("\x01\x02garbage", "r.reg"), Error);
}

}  // namespace
}  // namespace tavo
