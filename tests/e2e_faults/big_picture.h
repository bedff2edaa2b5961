// A PNG large enough that loading it takes a while (16000 x 16000 pixels,
// well compressed), written once into the scratch folder and reused.
#pragma once

#include <string>

namespace vistamere::testing {

// The path of the picture; writes it first if it is not there yet.
std::string BigPicture();

}  // namespace vistamere::testing
