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

  // What only a platform with a window of its own does; elsewhere these
  // change nothing. The window's icon from the program's icon resource
  // `icon`: false when the program has no such icon.
  virtual bool SetIcon(int /*icon*/) { return true; }
  // The window shown, maximised, ... (a Windows ShowWindow state), where
  // the window's host lets the program change it.
  virtual void SetWindowState(int /*state*/) {}
};

}  // namespace vistamere
