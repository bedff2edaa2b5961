// The picture in real pixels for terminals that speak the kitty graphics
// protocol: the canvas sent once as an image (zlib-compressed RGB, in
// chunks) and placed over the graphics area below the text, so that cells
// written as blanks in the default colours show it and text stands on it.
// A second image, one black pixel, is stretched under each label's cells
// to give it the dark box it has everywhere else.
#pragma once

#include <string>

#include "picture/canvas.h"

namespace vistamere::term {

class KittyPicture {
 public:
  // Compresses and encodes `canvas` (an empty one gives a black picture)
  // for an area of columns x rows cells.
  KittyPicture(const picture::Canvas& canvas, int columns, int rows);

  int columns() const { return columns_; }
  int rows() const { return rows_; }

  // Sends both images, answers switched off. After a clear of the screen
  // they must be sent again.
  void AppendTransmit(std::string& out) const { out += transmit_; }
  // Places the picture over the area from the cursor's cell on; the cursor
  // stays where it is.
  void AppendPlace(std::string& out) const;
  // Removes every label box.
  static void AppendRemoveBoxes(std::string& out);
  // A label box over `count` cells from the cursor's cell on.
  static void AppendBox(int count, std::string& out);

 private:
  int columns_;
  int rows_;
  std::string transmit_;
};

}  // namespace vistamere::term
