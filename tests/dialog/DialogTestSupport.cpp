#include "DialogTestSupport.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTreeWidget>

namespace tolvan::dialog::testing {

std::vector<std::pair<QString, TestFactory>>& TestRegistry() {
  static std::vector<std::pair<QString, TestFactory>> registry;
  return registry;
}

SettingsRecord SampleSettings() {
  SettingsRecord s;
  for (int n = 0; n < kTemplateCount; ++n) {
    s.strTemplate[n] = u"'T" + std::u16string(1, u'A' + n) + u" $c\r\n'$n1\r\n";
  }
  for (int k = 0; k < kLineCommentCount; ++k) {
    s.strLineComment[k] = u"'L" + std::u16string(1, u'0' + k) + u" $d";
  }
  s.strLineComment[0] = u"'before 1\r\n'second line";
  s.intLinePattern = {1, 2, 3, 0, 2};
  s.intLineCommentOut = {0, 1, 0, 1, 1};
  s.strByValText = u"I";
  s.strByRefText = u"O";
  s.strNoParamText = u"none";
  s.strOptionalText = u"Optional";
  s.strOptionalDefaultText = u"Default:";
  s.strDateFormat = u"yyyy/mm/dd";
  s.blnParamMacroRemove = false;
  s.intCommentPattern = 1;
  s.strToolbarName = u"デバッグ";
  s.vntUserDefine = {{u"ver", u"1.0"}, {u"who", u"山田"}, {u"team", u"QA"}};
  s.lngUserDefineLast = 2;
  s.strIniName = u"Team";
  return s;
}

std::u16string DescribeExpansion(const SettingsRecord& settings, std::u16string_view strTemplate,
                                 const ProcInfo& proc, const ParamTable& params, int32_t last,
                                 const UserMacroTable& table) {
  std::u16string out = u"[" + std::u16string(strTemplate) + u"]{";
  for (int slot : {0, 1, 3, 4, 5, 6}) {
    if (slot != 0) out += u"|";
    out += proc[slot];
  }
  out += u"}<";
  for (size_t p = 0; p < params.size(); ++p) {
    if (p != 0) out += u";";
    for (size_t f = 0; f < params[p].size(); ++f) {
      if (f != 0) out += u",";
      out += params[p][f];
    }
  }
  out += u">(" + QString::number(last).toStdU16String() + u":";
  for (size_t t = 0; t < table.size(); ++t) {
    if (t != 0) out += u",";
    out += table[t].word + u"=" + table[t].replacement;
  }
  out += u")~" + settings.strNoParamText + (settings.blnParamMacroRemove ? u"~remove" : u"~keep");
  return out;
}

void TypeText(QWidget* widget, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &release);
  }
}

Harness::Harness()
    : settings(SampleSettings()),
      files(SampleSettings(), u"/home/user/.config/tolvan/Team.ini"),
      clock({2024, 3, 5, 14, 7, 9}),
      toolbars({u"標準", u"", u"デバッグ", u""}) {}

Harness::~Harness() = default;

frmMarlet& Harness::Open() {
  form_ = std::make_unique<frmMarlet>(
      settings, frmMarlet::Services{files, registry, &chooser, &messages, &desktop, &clock});
  form_->SetExpanderForTesting([this](const SettingsRecord& s, std::u16string_view t,
                                      const ProcInfo& p, const ParamTable& a, int32_t l,
                                      const UserMacroTable& u) {
    ++expansions_;
    return DescribeExpansion(s, t, p, a, l, u);
  });
  form_->SetToolbars(toolbars);
  form_->show();
  QApplication::setActiveWindow(form_.get());
  if (!QTest::qWaitForWindowActive(form_.get())) qWarning("the dialog did not become active");
  return *form_;
}

QString Harness::PreviewText(int page) {
  auto* box = Find<QPlainTextEdit>(QStringLiteral("txtPreview_%1").arg(page));
  return box == nullptr ? QString() : box->toPlainText();
}

void Harness::ClickNode(const QString& key) {
  auto* tree = Find<QTreeWidget>(QStringLiteral("tvwMenu"));
  QTreeWidgetItemIterator it(tree);
  for (; *it != nullptr; ++it) {
    if ((*it)->data(0, Qt::UserRole).toString() == key) break;
  }
  if (*it == nullptr) {
    qWarning("no tree node %s", qPrintable(key));
    return;
  }
  tree->scrollToItem(*it);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(*it).center());
}

}  // namespace tolvan::dialog::testing
