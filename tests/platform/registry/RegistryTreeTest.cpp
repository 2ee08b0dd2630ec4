#include "platform/registry/RegistryTree.h"

#include <gtest/gtest.h>

#include "platform/core/Error.h"

namespace tavo {
namespace {

TEST(RegistryTree, LookupIgnoresLetterCaseAndKeepsTheFirstSpelling) {
  RegistryTree tree;
  tree.CreateKey("CLSID\\{AB12}\\InprocServer32");
  EXPECT_TRUE(tree.KeyExists("clsid\\{ab12}\\INPROCSERVER32"));
  EXPECT_TRUE(tree.KeyExists("\\CLSID\\{AB12}"));
  tree.CreateKey("clsid\\{ab12}\\Version");
  EXPECT_EQ(tree.SpelledKeyPath("CLSID\\{ab12}\\version"), "CLSID\\{AB12}\\Version");

  tree.SetValue("clsid\\{AB12}\\inprocserver32", "ThreadingModel", "Apartment");
  tree.SetValue("CLSID\\{AB12}\\InprocServer32", "threadingmodel", "Both");
  EXPECT_EQ(tree.ValueNames("CLSID\\{AB12}\\InprocServer32"),
            std::vector<std::string>{"ThreadingModel"});
  EXPECT_EQ(tree.GetValue("CLSID\\{AB12}\\InprocServer32", "THREADINGMODEL"), "Both");
  EXPECT_EQ(tree.GetValue("CLSID\\{AB12}\\InprocServer32", ""), std::nullopt);
  EXPECT_EQ(tree.GetValue("CLSID\\{AB13}", ""), std::nullopt);
}

TEST(RegistryTree, KeysWithSimilarNamesStayApart) {
  RegistryTree tree;
  for (const char* key : {"A\\B\\C", "A B", "AB", "A\\b2"}) tree.CreateKey(key);
  EXPECT_EQ(tree.SubKeyNames("a"), (std::vector<std::string>{"B", "b2"}));
  EXPECT_EQ(tree.SubKeyNames(""), (std::vector<std::string>{"A", "A B", "AB"}));
  EXPECT_EQ(tree.KeyPaths(),
            (std::vector<std::string>{"", "A", "A\\B", "A\\B\\C", "A\\b2", "A B", "AB"}));
  EXPECT_FALSE(tree.KeyExists("A\\\\B"));
  EXPECT_FALSE(tree.KeyExists("A\\B\\"));
}

TEST(RegistryTree, DeletingAKeyNeverTakesItsSubkeys) {
  RegistryTree tree;
  tree.SetValue("Prog.Id\\Clsid", "", "{AB12}");
  tree.CreateKey("Prog.IdX");
  EXPECT_EQ(tree.DeleteKey("prog.id"), DeleteKeyResult::HasSubKeys);
  EXPECT_EQ(tree.DeleteKey("Prog.Id\\Clsid"), DeleteKeyResult::Deleted);
  EXPECT_EQ(tree.DeleteKey("Prog.Id\\Clsid"), DeleteKeyResult::NotFound);
  EXPECT_EQ(tree.DeleteKey("PROG.ID"), DeleteKeyResult::Deleted);
  EXPECT_TRUE(tree.KeyExists("Prog.IdX"));
  EXPECT_THROW(tree.DeleteKey("\\"), Error);
}

TEST(RegistryTree, DeleteValueReportsWhetherThereWasOne) {
  RegistryTree tree;
  tree.SetValue("K", "", "default");
  tree.SetValue("K", "Name", "value");
  EXPECT_TRUE(tree.DeleteValue("k", "NAME"));
  EXPECT_FALSE(tree.DeleteValue("k", "Name"));
  EXPECT_FALSE(tree.DeleteValue("missing", ""));
  EXPECT_EQ(tree.GetValue("K", ""), "default");
}

TEST(RegistryTree, OnlyStringsReadAsStrings) {
  RegistryTree tree;
  tree.SetTypedValue("K", "Count", {RegistryValue::Kind::Other, "dword:00000010"});
  // "%SystemRoot%" as an expandable string, UTF-16LE with its terminating zero.
  tree.SetTypedValue("K", "Path",
                     {RegistryValue::Kind::Other,
                      "hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,"
                      "25,00,d1,53,68,79,00,00"});
  tree.SetTypedValue("K", "", {RegistryValue::Kind::Other, "hex:01,02"});
  EXPECT_EQ(tree.GetValue("K", "Path"), "%SystemRoot%\xE5\x8F\x91\xE7\xA5\xA8");
  try {
    tree.GetValue("K", "Count");
    FAIL() << "a dword read as a string";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Count'");
  }
  EXPECT_THROW(tree.GetValue("K", ""), Error);
}

TEST(RegistryTree, RefusesWhatTheFileCouldNotHold) {
  struct Case {
    std::string key;
    std::string name;
    std::string data;
  };
  const std::vector<Case> cases{
      {"A\\\\B", "", "x"},
      {"A\\", "", "x"},
      {"A\tB", "", "x"},
      {"A", "line\nbreak", "x"},
      {"A", "", "line\nbreak"},
      {"A", "", "carriage\rreturn"},
      {"A", "", std::string("zero\0byte", 9)},
      {"A", "", "\xB7\xA2\xC6\xB1"},  // GBK bytes, not UTF-8
      {"A", "\xC0\xAF", "overlong"},
      {std::string(256, 'k'), "", "x"},
  };
  for (const Case& c : cases) {
    RegistryTree tree;
    EXPECT_THROW(tree.SetValue(c.key, c.name, c.data), Error) << c.key << " " << c.name;
    EXPECT_EQ(tree, RegistryTree()) << "a refused change left something behind: " << c.key;
  }
  RegistryTree tree;
  tree.CreateKey(std::string(255, 'k') + "\\" + "\xE5\x8F\x91\xE7\xA5\xA8");
  EXPECT_EQ(tree.KeyPaths().size(), 3u);
}

}  // namespace
}  // namespace tavo
