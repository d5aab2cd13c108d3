#include "standin/StandInCommandBars.h"

#include <algorithm>

#include "platform/Text.h"

namespace tolvan::host {
namespace {

Status DeletedControl() { return Status::Error("the command bar control has been deleted"); }

}  // namespace

Status StandInCommandBarControl::SetCaption(std::u16string_view caption) {
  if (deleted_) return DeletedControl();
  if (auto owner = owner_.lock(); owner && owner->fail_caption) {
    return Status::Error("the caption of the command bar control cannot be set");
  }
  caption_ = caption;
  return Status::Ok();
}

Status StandInCommandBarControl::PasteFace() {
  if (deleted_) return DeletedControl();
  if (auto owner = owner_.lock(); owner && owner->fail_paste_face) {
    return Status::Error("the face of the command bar control cannot be set");
  }
  if (!clipboard_) return Status::Error("there is no clipboard");
  Result<ClipboardContents> contents = clipboard_->Contents();
  if (!contents) return contents.status();
  auto bitmap = contents->find(kClipboardBitmap);
  if (bitmap == contents->end()) return Status::Error("the clipboard holds no picture");
  face_ = bitmap->second;
  return Status::Ok();
}

Status StandInCommandBarControl::Delete() {
  if (deleted_) return DeletedControl();
  auto owner = owner_.lock();
  if (owner) {
    if (owner->fail_delete) return Status::Error("the command bar control cannot be deleted");
    auto& list = owner->controls_;
    list.erase(std::remove(list.begin(), list.end(), shared_from_this()), list.end());
  }
  deleted_ = true;
  return Status::Ok();
}

int StandInCommandBarControl::Click() {
  if (deleted_) return 0;
  std::erase_if(sources_, [](const auto& source) { return source.expired(); });
  // Hold the sources for the time of the click, so that a handler that ends
  // a subscription does not pull the object from under the loop.
  std::vector<std::shared_ptr<StandInCommandBarEvents>> live;
  for (const auto& source : sources_) {
    if (auto s = source.lock()) live.push_back(std::move(s));
  }
  std::shared_ptr<CommandBarControl> self = shared_from_this();
  bool handled = false;
  bool cancel_default = false;
  int reached = 0;
  for (const auto& source : live) {
    CommandBarClickHandler handler = source->handler_;  // survives the handler resetting itself
    if (!handler) continue;
    handler(self, handled, cancel_default);
    ++reached;
  }
  return reached;
}

Result<std::shared_ptr<CommandBarControl>> StandInCommandBarControls::Item(long position) const {
  if (position < 1 || position > Count()) {
    return Status::Error("no command bar control at position " + std::to_string(position));
  }
  return std::shared_ptr<CommandBarControl>(controls_[position - 1]);
}

Result<std::shared_ptr<CommandBarControl>> StandInCommandBarControls::Add(
    int type, std::optional<long> before) {
  if (fail_add) return Status::Error("no control can be added to this command bar");
  if (before && (*before < 1 || *before > Count() + 1)) {
    return Status::Error("no command bar control position " + std::to_string(*before));
  }
  auto control = std::make_shared<StandInCommandBarControl>(type, std::u16string(), clipboard_,
                                                            weak_from_this());
  controls_.insert(before ? controls_.begin() + (*before - 1) : controls_.end(), control);
  return std::shared_ptr<CommandBarControl>(control);
}

std::shared_ptr<StandInCommandBarControl> StandInCommandBarControls::At(long position) const {
  if (position < 1 || position > Count()) return nullptr;
  return controls_[position - 1];
}

std::shared_ptr<StandInCommandBarControl> StandInCommandBarControls::Find(
    std::u16string_view caption) const {
  for (const auto& control : controls_) {
    if (control->Caption() == caption) return control;
  }
  return nullptr;
}

std::vector<std::u16string> StandInCommandBarControls::Captions() const {
  std::vector<std::u16string> captions;
  for (const auto& control : controls_) captions.push_back(control->Caption());
  return captions;
}

std::shared_ptr<StandInCommandBarControl> StandInCommandBarControls::Append(std::u16string caption,
                                                                            int type) {
  auto control = std::make_shared<StandInCommandBarControl>(type, std::move(caption), clipboard_,
                                                            weak_from_this());
  controls_.push_back(control);
  return control;
}

Status StandInCommandBar::SetVisible(bool visible) {
  if (fail_set_visible) return Status::Error("the command bar cannot be shown or hidden");
  visible_ = visible;
  return Status::Ok();
}

Result<std::shared_ptr<CommandBar>> StandInCommandBars::Item(long position) const {
  if (position < 1 || position > Count()) {
    return Status::Error("no command bar at position " + std::to_string(position));
  }
  return std::shared_ptr<CommandBar>(bars_[position - 1]);
}

Result<std::shared_ptr<CommandBar>> StandInCommandBars::Item(std::u16string_view name) const {
  if (!fail_lookup_by_name) {
    if (auto bar = Bar(name)) return std::shared_ptr<CommandBar>(bar);
  }
  return Status::Error("no command bar named \"" + Utf16ToUtf8(name) + "\"");
}

std::shared_ptr<StandInCommandBar> StandInCommandBars::AddBar(
    std::u16string name, bool visible, const std::vector<std::u16string>& captions) {
  auto bar = std::make_shared<StandInCommandBar>(std::move(name), visible, clipboard_);
  for (const auto& caption : captions) bar->controls().Append(caption);
  bars_.push_back(bar);
  return bar;
}

std::shared_ptr<StandInCommandBar> StandInCommandBars::Bar(std::u16string_view name) const {
  for (const auto& bar : bars_) {
    if (bar->Name() == name) return bar;
  }
  return nullptr;
}

std::shared_ptr<StandInCommandBars> MakeStandardCommandBars(Clipboard& clipboard) {
  auto bars = std::make_shared<StandInCommandBars>(clipboard);
  bars->AddBar(
      u"メニュー バー", true,
      {u"ファイル(&F)", u"編集(&E)", u"表示(&V)", u"プロジェクト(&P)", u"書式(&O)", u"デバッグ(&D)",
       u"実行(&R)", u"ツール(&T)", u"アドイン(&A)", u"ウィンドウ(&W)", u"ヘルプ(&H)"});
  bars->AddBar(u"標準", true,
               {u"プロジェクトの追加", u"フォームの追加", u"メニュー エディタ",
                u"プロジェクトを開く", u"プロジェクトの保存", u"切り取り", u"コピー", u"貼り付け",
                u"検索", u"元に戻す", u"やり直し", u"開始", u"中断", u"終了",
                u"プロジェクト エクスプローラ", u"プロパティ ウィンドウ",
                u"フォーム レイアウト ウィンドウ", u"オブジェクト ブラウザ", u"ツールボックス"});
  bars->AddBar(u"編集", false,
               {u"メンバの一覧", u"定数の一覧", u"クイック ヒント", u"パラメータ ヒント",
                u"入力候補", u"インデント", u"インデント解除", u"ブレークポイントの設定/解除",
                u"コメント ブロック", u"非コメント ブロック", u"ブックマークの設定/解除"});
  bars->AddBar(u"デバッグ", false,
               {u"開始", u"中断", u"終了", u"ブレークポイントの設定/解除", u"ステップ イン",
                u"ステップ オーバー", u"ステップ アウト", u"ローカル ウィンドウ",
                u"イミディエイト ウィンドウ", u"ウォッチ ウィンドウ", u"クイック ウォッチ",
                u"呼び出し履歴"});
  bars->AddBar(u"フォーム エディタ", false,
               {u"最前面へ移動", u"最背面へ移動", u"グループ化", u"グループ解除", u"左揃え",
                u"左右中央揃え", u"同じサイズに揃える", u"コントロールのロック"});
  // A popup menu is never shown as a bar of its own.
  bars->AddBar(u"Tools", false,
               {u"プロシージャの追加(&P)...", u"プロシージャ属性(&B)...",
                u"メニュー エディタ(&M)...", u"オプション(&O)..."});
  return bars;
}

Result<std::shared_ptr<CommandBarEvents>> StandInEvents::CommandBarEvents(
    const std::shared_ptr<CommandBarControl>& control) {
  if (fail_command_bar_events) return Status::Error("the click events cannot be watched");
  auto stand_in = std::dynamic_pointer_cast<StandInCommandBarControl>(control);
  if (!stand_in) return Status::Error("no command bar control to watch");
  auto source = std::make_shared<StandInCommandBarEvents>();
  stand_in->sources_.push_back(source);
  ++sources_made;
  return std::shared_ptr<host::CommandBarEvents>(source);
}

}  // namespace tolvan::host
