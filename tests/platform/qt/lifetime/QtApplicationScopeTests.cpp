// Who makes the Qt application and when it goes, in a process that has none of its own: a test
// program of its own, since any other test may leave a lasting application behind.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QFontInfo>
#include <QThread>
#include <cstdlib>
#include <thread>

#include "platform/cairo/FontMapping.h"
#include "platform/core/Display.h"
#include "platform/core/Error.h"
#include "platform/qt/QtApplication.h"

namespace tavo {
namespace {

class QtApplicationScopes : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv(kOffscreenDialogOptIn, "1", 1);
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
  }
};

// A call that only draws makes an application only when a device asks for one, and it is gone
// with the outermost scope; a call that shows windows makes one at once. Either way, on
// whichever thread the call runs.
TEST_F(QtApplicationScopes, AnApplicationLivesForTheOutermostCallOnItsThread) {
  const auto call = [] {
    {
      const QtApplicationScope printing(QtUse::Drawing);
      EXPECT_EQ(QCoreApplication::instance(), nullptr) << "made for nothing";
      {
        const QtApplicationScope inner(QtUse::Drawing);
        EnsureQtApplication();
        ASSERT_NE(QCoreApplication::instance(), nullptr);
        EXPECT_EQ(QCoreApplication::instance()->thread(), QThread::currentThread());
      }
      EXPECT_NE(QCoreApplication::instance(), nullptr) << "the outer call still draws";
    }
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
    {
      const QtApplicationScope preview(QtUse::Windows);
      ASSERT_NE(qobject_cast<QApplication*>(QCoreApplication::instance()), nullptr);
      const QtApplicationScope printButton(QtUse::Drawing);
      EnsureQtApplication();
    }
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
  };
  call();
  std::thread apartment(call);
  apartment.join();
  call();
}

// The family fontconfig gives for the rule documents' 宋体, through Qt.
QString SongTiFamily() {
  QFont font(QString::fromUtf8("宋体"));
  font.setPixelSize(16);
  return QFontInfo(font).family();
}

// An application that ends takes fontconfig's configuration with it unless it is kept: the
// next call would draw 宋体 in whatever font fontconfig picks. (The control loads the mapping
// before it shows a preview.)
TEST_F(QtApplicationScopes, TheFontMappingOutlivesEachApplication) {
  LoadFontMapping();
  for (int call = 0; call < 3; ++call) {
    const QtApplicationScope printing(QtUse::Drawing);
    EnsureQtApplication();
    EXPECT_EQ(SongTiFamily(), QString("AR PL UMing CN")) << "call " << call;
  }
}

// A host's own application is used and left as it is.
TEST_F(QtApplicationScopes, TheHostsOwnApplicationIsLeftAlone) {
  int argc = 1;
  char name[] = "host";
  char* argv[] = {name, nullptr};
  {
    QApplication own(argc, argv);
    {
      const QtApplicationScope preview(QtUse::Windows);
      const QtApplicationScope printing(QtUse::Drawing);
      EnsureQtApplication();
      EXPECT_EQ(QCoreApplication::instance(), &own);
    }
    EXPECT_EQ(QCoreApplication::instance(), &own);
  }
  QCoreApplication console(argc, argv);
  EXPECT_THROW(QtApplicationScope(QtUse::Windows), Error);
  EXPECT_THROW(EnsureQtApplication(), Error);
}

}  // namespace
}  // namespace tavo
