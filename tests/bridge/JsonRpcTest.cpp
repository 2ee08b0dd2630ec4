#include "bridge/JsonRpc.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "bridge/BridgeMethods.h"

namespace tavo::bridge {
namespace {

rpc::Failure FailureOf(const char* frame) {
  auto parsed = rpc::ParseRequest(frame);
  EXPECT_TRUE(std::holds_alternative<rpc::Failure>(parsed)) << frame;
  return std::holds_alternative<rpc::Failure>(parsed) ? std::get<rpc::Failure>(parsed)
                                                      : rpc::Failure{{}, 0, {}};
}

TEST(JsonRpc, MalformedRequestsGetTheirErrorCodes) {
  const struct {
    const char* frame;
    int code;
    QJsonValue id;
  } cases[] = {
      {"{\"jsonrpc\":\"2.0\",\"id\":1,", rpc::kParseError, QJsonValue::Null},
      {"", rpc::kParseError, QJsonValue::Null},
      {"[{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"GetPrinterList\"}]", rpc::kInvalidRequest,
       QJsonValue::Null},
      {"\"text\"", rpc::kInvalidRequest, QJsonValue::Null},
      {"{\"id\":4,\"method\":\"GetPrinterList\"}", rpc::kInvalidRequest, 4},
      {"{\"jsonrpc\":\"1.0\",\"id\":\"a\",\"method\":\"x\"}", rpc::kInvalidRequest, "a"},
      {"{\"jsonrpc\":\"2.0\",\"id\":5,\"method\":7}", rpc::kInvalidRequest, 5},
      {"{\"jsonrpc\":\"2.0\",\"id\":{},\"method\":\"x\"}", rpc::kInvalidRequest, QJsonValue::Null},
      {"{\"jsonrpc\":\"2.0\",\"id\":6,\"method\":\"x\",\"params\":{\"a\":1}}", rpc::kInvalidParams,
       6},
  };
  for (const auto& c : cases) {
    const rpc::Failure failure = FailureOf(c.frame);
    EXPECT_EQ(failure.code, c.code) << c.frame;
    EXPECT_EQ(failure.id, c.id) << c.frame;
  }
}

TEST(JsonRpc, RequestsAndNotificationsAndAnswers) {
  auto parsed = rpc::ParseRequest(
      R"({"jsonrpc":"2.0","id":7,"method":"PrintXmlData","params":["<d/>","<r/>"]})");
  ASSERT_TRUE(std::holds_alternative<rpc::Request>(parsed));
  const rpc::Request& request = std::get<rpc::Request>(parsed);
  EXPECT_EQ(request.id, 7);
  EXPECT_FALSE(request.notification);
  EXPECT_EQ(request.method, "PrintXmlData");
  EXPECT_EQ(request.params, (QJsonArray{"<d/>", "<r/>"}));

  auto notification = rpc::ParseRequest(R"({"jsonrpc":"2.0","method":"GetPrinterList"})");
  ASSERT_TRUE(std::holds_alternative<rpc::Request>(notification));
  EXPECT_TRUE(std::get<rpc::Request>(notification).notification);

  const QJsonObject error =
      QJsonDocument::fromJson(rpc::StatusMessage(9, static_cast<int32_t>(0x8000FFFF),
                                                 "Printer is not currently printing"))
          .object();
  EXPECT_EQ(error.value("id"), 9);
  EXPECT_EQ(error.value("jsonrpc"), "2.0");
  const QJsonObject body = error.value("error").toObject();
  EXPECT_EQ(body.value("code").toInteger(), -2147418113);
  EXPECT_EQ(body.value("message"), "Printer is not currently printing");
  EXPECT_EQ(body.value("data").toObject().value("hresult"), "0x8000FFFF");
  EXPECT_EQ(body.value("data").toObject().value("source"), "TavoPreFmtPrinterX.TavoPreFmtPrinter");
}

TEST(BridgeMethods, NamesIgnoreCaseAndParametersFollowTheDeclaration) {
  ASSERT_NE(FindMethodSpec("printxmldata"), nullptr);
  EXPECT_EQ(FindMethodSpec("printxmldata")->dispatchName, "PrintXmlData");
  EXPECT_EQ(FindMethodSpec("tavo.renderPreview")->dispatchName, "RenderPreview");
  EXPECT_EQ(FindMethodSpec("tavo.checkRule")->result, ResultShape::Json);
  EXPECT_EQ(FindMethodSpec("Print"), nullptr);
  EXPECT_EQ(FindMethodSpec("RenderPreview"), nullptr);  // only as tavo.renderPreview

  const MethodSpec& text = *FindMethodSpec("fprintText");
  auto ok = CheckArguments(text, {10, "20", "SimSun", 12, "A"});
  ASSERT_TRUE(std::holds_alternative<QJsonArray>(ok));
  EXPECT_EQ(std::get<QJsonArray>(ok), (QJsonArray{10, 20, "SimSun", 12, "A"}));
  const struct {
    QJsonArray params;
    const char* problem;
  } bad[] = {
      {{10, 20, "SimSun", 12}, "fprintText takes 5 parameters, not 4"},
      {{10.5, 20, "SimSun", 12, "A"}, "parameter 1 of fprintText (X) must be an integer"},
      {{10, "2x", "SimSun", 12, "A"}, "parameter 2 of fprintText (Y) must be an integer"},
      {{10, 20, 3, 12, "A"}, "parameter 3 of fprintText (sFont) must be a string"},
      {{10, 20, "SimSun", 4294967296.0, "A"}, "parameter 4 of fprintText (fontSize) must be"},
      {{10, 20, "SimSun", 12, QJsonValue::Null},
       "parameter 5 of fprintText (txt) must be a string"},
  };
  for (const auto& c : bad) {
    auto checked = CheckArguments(text, c.params);
    ASSERT_TRUE(std::holds_alternative<QString>(checked)) << c.problem;
    EXPECT_TRUE(std::get<QString>(checked).contains(c.problem))
        << std::get<QString>(checked).toStdString();
  }
}

}  // namespace
}  // namespace tavo::bridge
