#include "SystemSupport.h"

#include <map>
#include <string>

namespace tolvan::testing {

std::map<std::string, ChildBody>& ChildBodies() {
  static std::map<std::string, ChildBody> bodies;
  return bodies;
}

bool RegisterChildBody(const char* name, ChildBody body) {
  ChildBodies()[name] = body;
  return true;
}

}  // namespace tolvan::testing
