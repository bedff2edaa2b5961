// A tool library for tests that keeps the graphics window model like ours
// and also writes down every call, and can be told to fail hole calls.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "toollibs/tool_libraries.h"

namespace vistamere::testing {

class RecordingTools final : public ConsoleTools, public GraphicsTools {
 public:
  std::vector<std::string> calls;
  std::set<int> failing_opens;  // hole numbers whose GfxTextHole fails
  std::set<int> failing_fills;  // hole numbers whose FillHole fails

  std::int32_t InitConsoleTools(std::intptr_t, std::int32_t a, std::int32_t b, std::int32_t c,
                                std::int32_t* d, std::int32_t e) override {
    return Record("InitConsoleTools(" + Join({a, b, c, d ? *d : -1, e}) + ")");
  }
  char* ConsoleTitle(const char* title) override {
    Record(std::string("ConsoleTitle(") + (title ? title : "null") + ")");
    return nullptr;
  }
  std::int32_t ConsoleIcon(std::int32_t i) override {
    return Record("ConsoleIcon(" + Join({i}) + ")");
  }
  std::int32_t DeleteWindowMenuItem(std::int32_t i) override {
    return Record("DeleteWindowMenuItem(" + Join({i}) + ")");
  }
  std::int32_t ConsoleToolBar(std::int32_t a, std::int32_t b) override {
    return Record("ConsoleToolBar(" + Join({a, b}) + ")");
  }
  std::int32_t ConsoleWindow(std::int32_t s) override {
    return Record("ConsoleWindow(" + Join({s}) + ")");
  }
  std::int32_t ConsoleGfx(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) override {
    return Record("ConsoleGfx(" + Join({l, t, r, b}) + ")");
  }
  std::int32_t GfxTextHole(std::int32_t h, std::int32_t l, std::int32_t t, std::int32_t r,
                           std::int32_t b) override {
    Record("GfxTextHole(" + Join({h, l, t, r, b}) + ")");
    return failing_opens.count(h) != 0 ? 7 : 0;
  }
  std::int32_t GfxWindow(std::int32_t s) override { return Record("GfxWindow(" + Join({s}) + ")"); }
  std::int32_t BitmapParam(const char* n, std::int32_t q) override {
    return Record("BitmapParam(" + Name(n) + "," + Join({q}) + ")");
  }
  std::int32_t StretchBitmap(const char* n, std::int32_t w, std::int32_t h) override {
    return Record("StretchBitmap(" + Name(n) + "," + Join({w, h}) + ")");
  }
  std::int32_t ImageParam(const char* n, std::int32_t q) override {
    return Record("ImageParam(" + Name(n) + "," + Join({q}) + ")");
  }
  std::int32_t StretchImage(const char* n, std::int32_t w, std::int32_t h) override {
    return Record("StretchImage(" + Name(n) + "," + Join({w, h}) + ")");
  }
  std::int32_t GfxRefresh(std::int32_t m) override {
    return Record("GfxRefresh(" + Join({m}) + ")");
  }
  std::int32_t FillHole(std::int32_t h) override {
    Record("FillHole(" + Join({h}) + ")");
    return failing_fills.count(h) != 0 ? 9 : 0;
  }

  // The calls whose text starts with `prefix`.
  std::vector<std::string> CallsStartingWith(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const auto& call : calls) {
      if (call.rfind(prefix, 0) == 0) found.push_back(call);
    }
    return found;
  }

 private:
  std::int32_t Record(std::string call) {
    calls.push_back(std::move(call));
    return 0;
  }
  static std::string Name(const char* name) {
    return name ? std::string("'") + name + "'" : "null";
  }
  static std::string Join(std::initializer_list<std::int32_t> values) {
    std::string text;
    for (const auto v : values) text += (text.empty() ? "" : ",") + std::to_string(v);
    return text;
  }
};

}  // namespace vistamere::testing
