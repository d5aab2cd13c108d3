#include "host/Resources.h"

#include "platform/Text.h"

namespace tolvan::host {
namespace {

const char* KindName(ResourceKind kind) {
  switch (kind) {
    case ResourceKind::kString:
      return "string";
    case ResourceKind::kBitmap:
      return "bitmap";
    case ResourceKind::kIcon:
      return "icon";
    case ResourceKind::kCursor:
      return "cursor";
  }
  return "resource";
}

Result<std::string> Find(ResourceKind kind, int id) {
  for (std::size_t i = 0; i < kEmbeddedResourceCount; ++i) {
    const EmbeddedResource& r = kEmbeddedResources[i];
    if (r.kind == kind && r.id == id) {
      return std::string(reinterpret_cast<const char*>(r.data), r.size);
    }
  }
  return Status::Error(std::string("no ") + KindName(kind) + " resource " + std::to_string(id));
}

}  // namespace

Result<std::u16string> EmbeddedResources::LoadResString(int id) const {
  Result<std::string> bytes = Find(ResourceKind::kString, id);
  if (!bytes) return bytes.status();
  return DecodeText(*bytes, "UTF-8");
}

Result<std::string> EmbeddedResources::LoadResPicture(int id, ResourceKind kind) const {
  if (kind == ResourceKind::kString) {
    return Status::Error("resource " + std::to_string(id) + " is asked for as a picture");
  }
  return Find(kind, id);
}

}  // namespace tolvan::host
