// Menus, tool bars and click events in memory, standing where the IDE's
// command bars stand on Windows. The command line gives them to its stand-in
// environment, and the tests drive the connection through them: they click
// controls, hide bars, leave controls behind and make operations fail.
//
// The stand-in keeps the IDE's visible behaviour that the connection relies
// on: the first bar is the menu bar; Add places a control before a 1-based
// position or at the end; a deleted control leaves its bar and fails every
// later operation; PasteFace takes the bitmap on the clipboard; a click
// reaches the handler of every event source for that control that is still
// held.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clipboard.h"
#include "vbide/CommandBars.h"

namespace tolvan::host {

class StandInCommandBarControls;
class StandInCommandBarEvents;

class StandInCommandBarControl : public CommandBarControl,
                                 public std::enable_shared_from_this<StandInCommandBarControl> {
 public:
  StandInCommandBarControl(int type, std::u16string caption, Clipboard* clipboard,
                           std::weak_ptr<StandInCommandBarControls> owner)
      : type_(type), caption_(std::move(caption)), clipboard_(clipboard), owner_(owner) {}

  std::u16string Caption() const override { return caption_; }
  Status SetCaption(std::u16string_view caption) override;
  Status PasteFace() override;
  Status Delete() override;

  // The user clicks the control: the handler of every event source that is
  // still held runs, oldest subscription first. Returns how many ran; a
  // deleted control cannot be clicked.
  int Click();

  int type() const { return type_; }
  // The bytes of the BMP picture pasted as the face; empty for none.
  const std::string& face() const { return face_; }
  bool deleted() const { return deleted_; }

 private:
  friend class StandInEvents;

  int type_;
  std::u16string caption_;
  std::string face_;
  bool deleted_ = false;
  Clipboard* clipboard_;
  std::weak_ptr<StandInCommandBarControls> owner_;
  std::vector<std::weak_ptr<StandInCommandBarEvents>> sources_;
};

class StandInCommandBarControls : public CommandBarControls,
                                  public std::enable_shared_from_this<StandInCommandBarControls> {
 public:
  explicit StandInCommandBarControls(Clipboard* clipboard) : clipboard_(clipboard) {}

  long Count() const override { return static_cast<long>(controls_.size()); }
  Result<std::shared_ptr<CommandBarControl>> Item(long position) const override;
  Result<std::shared_ptr<CommandBarControl>> Add(int type, std::optional<long> before) override;

  // The control at a position, for tests; nullptr outside the collection.
  std::shared_ptr<StandInCommandBarControl> At(long position) const;
  // The control with this caption, the first if several; nullptr for none.
  std::shared_ptr<StandInCommandBarControl> Find(std::u16string_view caption) const;
  std::vector<std::u16string> Captions() const;
  // Adds a control that the environment (or an earlier session) put there.
  std::shared_ptr<StandInCommandBarControl> Append(std::u16string caption,
                                                   int type = control_type::kButton);

  // Failure switches for tests.
  bool fail_add = false;
  bool fail_caption = false;
  bool fail_paste_face = false;
  bool fail_delete = false;

 private:
  friend class StandInCommandBarControl;

  Clipboard* clipboard_;
  std::vector<std::shared_ptr<StandInCommandBarControl>> controls_;
};

class StandInCommandBar : public CommandBar {
 public:
  StandInCommandBar(std::u16string name, bool visible, Clipboard* clipboard)
      : name_(std::move(name)),
        visible_(visible),
        controls_(std::make_shared<StandInCommandBarControls>(clipboard)) {}

  std::u16string Name() const override { return name_; }
  bool Visible() const override { return visible_; }
  Status SetVisible(bool visible) override;
  std::shared_ptr<CommandBarControls> Controls() const override { return controls_; }

  StandInCommandBarControls& controls() { return *controls_; }

  bool fail_set_visible = false;

 private:
  std::u16string name_;
  bool visible_;
  std::shared_ptr<StandInCommandBarControls> controls_;
};

class StandInCommandBars : public CommandBars {
 public:
  // Controls paste their faces from `clipboard`, which must outlive them.
  explicit StandInCommandBars(Clipboard& clipboard) : clipboard_(&clipboard) {}

  long Count() const override { return static_cast<long>(bars_.size()); }
  Result<std::shared_ptr<CommandBar>> Item(long position) const override;
  Result<std::shared_ptr<CommandBar>> Item(std::u16string_view name) const override;

  std::shared_ptr<StandInCommandBar> AddBar(std::u16string name, bool visible,
                                            const std::vector<std::u16string>& captions = {});
  // The bar of that name, for tests; nullptr for none.
  std::shared_ptr<StandInCommandBar> Bar(std::u16string_view name) const;

  // Look-up by name fails for every name.
  bool fail_lookup_by_name = false;

 private:
  Clipboard* clipboard_;
  std::vector<std::shared_ptr<StandInCommandBar>> bars_;
};

// The environment's menu bar and tool bars as the IDE shows them after
// installation: the menu bar first, then the tool bars "標準" (standard,
// the only one visible), "編集" (edit), "デバッグ" (debug) and
// "フォーム エディタ" (form editor), then the "Tools" menu.
std::shared_ptr<StandInCommandBars> MakeStandardCommandBars(Clipboard& clipboard);

class StandInCommandBarEvents : public CommandBarEvents {
 public:
  void SetClickHandler(CommandBarClickHandler handler) override { handler_ = std::move(handler); }

 private:
  friend class StandInCommandBarControl;
  CommandBarClickHandler handler_;
};

class StandInEvents : public Events {
 public:
  Result<std::shared_ptr<host::CommandBarEvents>> CommandBarEvents(
      const std::shared_ptr<CommandBarControl>& control) override;

  // How many sources were handed out, for tests.
  int sources_made = 0;
  bool fail_command_bar_events = false;
};

}  // namespace tolvan::host
