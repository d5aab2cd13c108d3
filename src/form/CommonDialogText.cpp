#include "form/CommonDialogText.h"

namespace tolvan::dialog {

std::u16string CommonDialogFilter(std::u16string_view filter) {
  std::u16string out;
  out.reserve(filter.size() + 2);
  for (char16_t c : filter) out += c == u'|' ? u'\0' : c;
  // The last part ends too, and an empty part ends the list.
  if (!filter.empty()) out += u'\0';
  out += u'\0';
  return out;
}

std::u16string FolderOfFile(std::u16string_view path) {
  const size_t slash = path.find_last_of(u"\\/");
  if (slash == std::u16string_view::npos) {
    // "C:Team.ini" names the current folder of drive C.
    return path.size() >= 2 && path[1] == u':' ? std::u16string(path.substr(0, 2)) : u"";
  }
  // The root keeps its separator: "C:\" and "\", not "C:" and "".
  const bool root = slash == 0 || (slash == 2 && path[1] == u':');
  return std::u16string(path.substr(0, root ? slash + 1 : slash));
}

}  // namespace tolvan::dialog
