// A private virtual X server (Xvfb) with xterm windows on it: started,
// typed into, photographed, and all ended with the object.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vistamere::testing {

struct Screenshot {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // row by row, 3 bytes a pixel

  const std::uint8_t* Pixel(int x, int y) const {
    return &rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                 static_cast<std::size_t>(x)) *
                3];
  }
};

class XDisplay {
 public:
  // A screen of width x height pixels on the first free display number.
  XDisplay(int width, int height, const std::string& log_path);
  ~XDisplay();
  XDisplay(const XDisplay&) = delete;
  XDisplay& operator=(const XDisplay&) = delete;

  // Starts xterm with these arguments (its title fixed to `title`, which
  // names the window from then on).
  void StartXterm(const std::string& title, const std::vector<std::string>& arguments);
  // Types `text` and Enter into the window.
  void Type(const std::string& title, const std::string& text);
  // The window's contents; empty when it cannot be taken (not mapped yet).
  Screenshot Shot(const std::string& title);

 private:
  pid_t Spawn(const std::vector<std::string>& argv);
  std::string Run(const std::string& command);

  std::string name_;  // ":N"
  std::string log_path_;
  std::vector<pid_t> children_;  // the X server first
};

}  // namespace vistamere::testing
