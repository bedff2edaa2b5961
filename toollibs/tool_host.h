// What the tool libraries need from the platform they run on.
#pragma once

#include <string>

namespace vistamere {

class ToolHost {
 public:
  virtual ~ToolHost() = default;
  // The window title, UTF-8.
  virtual void SetTitle(const std::string& title) = 0;
  // A picture load is under way: `percent` 0 to 100, or -1 when it has ended.
  // The platform decides whether the load took long enough to show it.
  // Returns whether the load is to go on: false when the user stopped it.
  virtual bool ShowLoadProgress(const std::string& name, int percent) = 0;
};

}  // namespace vistamere
