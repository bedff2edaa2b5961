// What the graphics window says about a picture it could not show whole.
#pragma once

#include <string_view>

#include "picture/load_picture_file.h"
#include "toollibs/graphics_window.h"

namespace vistamere {

// Puts the notice for a load that did not end well into the window: a
// picture drawn in part gets a warning over it, "showing part of 'NAME':
// REASON"; one not drawn at all a notice in its place, "cannot show 'NAME':
// REASON", or "loading 'NAME' cancelled" when the user stopped it. `shown_name` is UTF-8 that
// cannot act on a terminal; the window notes where it stands in the notice, for the platform to
// shorten.
void SetPictureNotice(GraphicsWindow& window, std::string_view shown_name,
                      const picture::LoadOutcome& outcome);

}  // namespace vistamere
