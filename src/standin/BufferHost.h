// The development environment's object model over one module held as text
// in memory: what an editor has open, or a file's bytes. The code module is
// what the IDE would show (ModuleDocument.h): the hidden header and the
// attribute lines of members stay in the text where they are, and code lines
// are numbered without them. After the comment command ran, the result is
// there as the whole new text or as the list of line edits it made, in the
// text's own line numbers (hidden lines included), with columns in UTF-16
// units: what an editor applies.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Status.h"
#include "vbide/VBE.h"
#include "vbsource/ModuleDocument.h"
#include "vbsource/VbpProject.h"

namespace tolvan::host {

// What the environment knows of the module besides its text.
struct BufferModuleInfo {
  // The component's name when the text names none (no `Attribute VB_Name`).
  std::u16string fallback_name = u"Module1";
  // A form that turns out to be an MDI form is one (component_type).
  int component_type = component_type::kStdModule;
  ProjectInfo project;
};

class BufferVBE : public VBE {
 public:
  // A module as text; `display_name` names it in messages.
  static Result<std::shared_ptr<BufferVBE>> FromText(std::u16string_view text,
                                                     const BufferModuleInfo& info,
                                                     const std::string& display_name);
  // A module as bytes; `encoding` empty: UTF-8 when valid, else CP932.
  static Result<std::shared_ptr<BufferVBE>> FromBytes(std::string bytes,
                                                      const std::string& encoding,
                                                      const BufferModuleInfo& info,
                                                      const std::string& display_name);

  std::shared_ptr<VBProject> ActiveVBProject() const override { return project_; }
  std::shared_ptr<host::CodePane> ActiveCodePane() const override { return pane_; }
  std::shared_ptr<VBComponent> SelectedVBComponent() const override { return component_; }
  // Command bars and their events are not part of a module's text.
  std::shared_ptr<host::CommandBars> CommandBars() const override { return nullptr; }
  std::shared_ptr<host::Events> Events() const override { return nullptr; }

  // Positions as a text editor shows them: 1-based line of the whole text,
  // 1-based column in UTF-16 units of that line (one more, empty line after
  // a final line break). Positions outside the text are errors; a position
  // on a hidden line counts as the end of the nearest code line above it.
  // Sets the active pane's selection (start before end).
  Status SelectFileRange(long start_line, long start_column, long end_line, long end_column);

  // The bytes as they would be written now, in the module's encoding.
  std::string Serialize() const { return document_->Serialize(); }
  // The same bytes piece by piece, with no copy of the whole module.
  template <class Sink>
  void WriteTo(Sink&& sink) const {
    document_->WriteTo(std::forward<Sink>(sink));
  }
  // The whole text as it is now.
  std::u16string Text() const { return document_->Text(); }
  // The line edits from the text as read to Text().
  std::vector<LineEdit> Edits() const { return document_->Edits(); }
  // The encoding in use: the one asked for, else "UTF-8" or "CP932".
  const std::string& encoding() const { return document_->encoding(); }
  // The text line holding a code line, for reporting where edits went.
  Result<long> FileLineOf(long code_line) const;
  const ModuleDocument& document() const { return *document_; }
  ModuleDocument& document() { return *document_; }

 protected:
  BufferVBE() = default;
  void Init(ModuleDocument document, const BufferModuleInfo& info);

  std::shared_ptr<ModuleDocument> document_;

 private:
  std::shared_ptr<VBProject> project_;
  std::shared_ptr<VBComponent> component_;
  std::shared_ptr<host::CodePane> pane_;
};

}  // namespace tolvan::host
