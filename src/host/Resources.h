// The add-in's own resources: the product title string, the button face
// bitmap, the icon and the cursor. They are listed in resources/Tolvan.rc
// and compiled into the program as byte arrays (EmbedResources.cmake), so
// the command line and the dialog find them without any file beside the
// program. Callers reach them through the Resources interface, which tests
// can replace.
#pragma once

#include <cstddef>
#include <string>

#include "platform/Status.h"

namespace tolvan::host {

enum class ResourceKind { kString, kBitmap, kIcon, kCursor };

// Resource numbers the rest of the system asks for.
namespace resource_id {
inline constexpr int kProductTitle = 110;  // string
inline constexpr int kButtonFace = 1000;   // bitmap, 16 x 16, 16 colours
inline constexpr int kIcon = 1001;
inline constexpr int kCursor = 99;
}  // namespace resource_id

// One entry of the generated table. A string is held as UTF-8; a picture as
// the bytes of its file (BMP, ICO or CUR).
struct EmbeddedResource {
  ResourceKind kind;
  int id;
  const unsigned char* data;
  std::size_t size;
};

extern const EmbeddedResource kEmbeddedResources[];
extern const std::size_t kEmbeddedResourceCount;

class Resources {
 public:
  virtual ~Resources() = default;
  virtual Result<std::u16string> LoadResString(int id) const = 0;
  // The file bytes of a bitmap, icon or cursor.
  virtual Result<std::string> LoadResPicture(int id, ResourceKind kind) const = 0;
};

// The resources compiled into the program.
class EmbeddedResources : public Resources {
 public:
  Result<std::u16string> LoadResString(int id) const override;
  Result<std::string> LoadResPicture(int id, ResourceKind kind) const override;
};

}  // namespace tolvan::host
