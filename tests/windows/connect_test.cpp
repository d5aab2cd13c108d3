// Tolvan.Connect in process, over the stub's IDispatch environment: a click
// on its button runs the comment command on the module behind the
// environment, failures reach the caller with their reason by both ways in,
// and an add-in released without a disconnection stops listening.
#include "windows/Connect.h"

#include <gtest/gtest.h>

#include "StubIde.h"
#include "platform/Clipboard.h"
#include "platform/Text.h"
#include "standin/BufferHost.h"
#include "windows/Module.h"

namespace tolvan::windows {
namespace {

constexpr char16_t kModule[] =
    u"Option Explicit\r\n"
    u"\r\n"
    u"Public Sub Pay(ByVal lngAmount As Long)\r\n"
    u"End Sub\r\n";

struct Environment {
  explicit Environment(bool with_bars = true) {
    auto made = host::BufferVBE::FromText(kModule, {}, "Module1.bas");
    EXPECT_TRUE(made.ok()) << made.message();
    code = *made;
    bars = with_bars ? host::MakeStandardCommandBars(clipboard)
                     : std::make_shared<host::StandInCommandBars>(clipboard);
    sources = std::make_shared<stub::ClickSources>();
    root = stub::MakeStubVBE(code, bars, sources);
    // The stand-in button takes its face from this clipboard, which the
    // add-in does not write: a picture is there already.
    clipboard.contents[kClipboardBitmap] = "BM";
  }

  int ClickButton() {
    auto button = bars->Bar(u"標準")->controls().Find(u"Tolvan");
    if (!button) return 0;
    ComPtr<IDispatch> object = stub::MakeStubControl(button);
    VARIANT_BOOL handled = VARIANT_FALSE, cancel_default = VARIANT_FALSE;
    return sources->Click(button.get(), object.get(), handled, cancel_default).sinks;
  }

  MemoryClipboard clipboard;
  std::shared_ptr<host::BufferVBE> code;
  std::shared_ptr<host::StandInCommandBars> bars;
  std::shared_ptr<stub::ClickSources> sources;
  ComPtr<IDispatch> root;
};

ComPtr<Connect> NewConnect() { return ComPtr<Connect>::Adopt(new Connect()); }

std::u16string ThreadErrorDescription() {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.Receive()) != S_OK || !info) return {};
  Bstr description;
  (void)info->GetDescription(description.Receive());
  return description.Text();
}

TEST(Connect, AClickOnTheButtonCommentsTheProcedureAtTheCursor) {
  Environment ide;
  ASSERT_TRUE(ide.code->SelectFileRange(3, 5, 3, 5).ok());
  ComPtr<Connect> addin = NewConnect();
  ASSERT_EQ(addin->OnConnection(ide.root.get(), kExtCmAfterStartup, nullptr, nullptr), S_OK)
      << Utf16ToUtf8(ThreadErrorDescription());
  EXPECT_EQ(ide.sources->Advised(), 2);
  EXPECT_EQ(ide.ClickButton(), 1);
  // A header of comment lines goes in above the declaration; the rest stays.
  const std::u16string text = ide.code->Text();
  const std::u16string above = u"Option Explicit\r\n\r\n";
  const std::u16string below = u"Public Sub Pay(ByVal lngAmount As Long)\r\nEnd Sub\r\n";
  ASSERT_GT(text.size(), above.size() + below.size());
  EXPECT_EQ(text.substr(0, above.size()), above);
  EXPECT_EQ(text.substr(text.size() - below.size()), below);
  EXPECT_EQ(text[above.size()], u'\'');
  EXPECT_NE(text.find(u"lngAmount", above.size()), text.size() - below.size() + 15)
      << "the header names the parameter";

  ASSERT_EQ(addin->OnDisconnection(kExtDmUserClosed, nullptr), S_OK);
  EXPECT_EQ(ide.sources->Advised(), 0);
  EXPECT_EQ(ide.bars->Bar(u"標準")->controls().Find(u"Tolvan"), nullptr);
  EXPECT_EQ(ide.bars->Bar(u"Tools")->controls().Find(u"Tolvanの設定..."), nullptr);
}

TEST(Connect, StartedFromOutsideItCommentsOnceAndPlacesNothing) {
  Environment ide;
  ASSERT_TRUE(ide.code->SelectFileRange(3, 5, 3, 5).ok());
  ComPtr<Connect> addin = NewConnect();
  ASSERT_EQ(addin->OnConnection(ide.root.get(), kExtCmExternal, nullptr, nullptr), S_OK);
  EXPECT_NE(ide.code->Text(), kModule);
  EXPECT_EQ(ide.sources->Sources(), 0);
  EXPECT_EQ(ide.bars->Bar(u"標準")->controls().Find(u"Tolvan"), nullptr);
  ASSERT_EQ(addin->OnDisconnection(kExtDmHostShutdown, nullptr), S_OK);
}

TEST(Connect, AFailedConnectionGivesItsReasonByBothWaysIn) {
  Environment ide(/*with_bars=*/false);
  ComPtr<Connect> addin = NewConnect();
  EXPECT_EQ(addin->OnConnection(nullptr, kExtCmAfterStartup, nullptr, nullptr), E_INVALIDARG);

  EXPECT_EQ(addin->OnConnection(ide.root.get(), kExtCmAfterStartup, nullptr, nullptr), E_FAIL);
  EXPECT_EQ(ThreadErrorDescription(), u"no command bar named \"標準\"");
  EXPECT_EQ(addin->InterfaceSupportsErrorInfo(kIidDTExtensibility2), S_OK);
  EXPECT_EQ(addin->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);

  // Through Invoke the same reason arrives in EXCEPINFO.
  VARIANTARG arguments[4];
  for (VARIANTARG& a : arguments) VariantInit(&a);
  V_VT(&arguments[3]) = VT_DISPATCH;
  V_DISPATCH(&arguments[3]) = ide.root.get();
  V_VT(&arguments[2]) = VT_I4;
  V_I4(&arguments[2]) = kExtCmAfterStartup;
  DISPPARAMS params{arguments, nullptr, 4, 0};
  EXCEPINFO exception{};
  EXPECT_EQ(addin->Invoke(kDispidOnConnection, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                          &params, nullptr, &exception, nullptr),
            DISP_E_EXCEPTION);
  EXPECT_EQ(TextOf(exception.bstrSource), u"Tolvan");
  EXPECT_EQ(TextOf(exception.bstrDescription), u"no command bar named \"標準\"");
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  EXPECT_EQ(addin->OnDisconnection(kExtDmHostShutdown, nullptr), S_OK);
}

// The environment may let go of the add-in without disconnecting it (a
// crash of the host's own bookkeeping): a later click must not reach the
// freed connection.
TEST(Connect, ReleasedWithoutADisconnectionItStopsListening) {
  Environment ide;
  const long live = LiveObjects();
  ComPtr<Connect> addin = NewConnect();
  ASSERT_EQ(addin->OnConnection(ide.root.get(), kExtCmAfterStartup, nullptr, nullptr), S_OK);
  ASSERT_EQ(ide.sources->Advised(), 2);
  addin.Reset();
  EXPECT_EQ(ide.sources->Advised(), 0);
  EXPECT_EQ(ide.sources->Sources(), 0);
  EXPECT_EQ(ide.ClickButton(), 0);
  EXPECT_EQ(LiveObjects(), live) << "no object of the DLL outlives the add-in";
}

}  // namespace
}  // namespace tolvan::windows
