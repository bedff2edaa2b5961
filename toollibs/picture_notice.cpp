#include "toollibs/picture_notice.h"

#include <string>

namespace vistamere {

void SetPictureNotice(GraphicsWindow& window, std::string_view shown_name,
                      const picture::LoadOutcome& outcome) {
  const bool partial = outcome.status == picture::DecodeStatus::kTruncated;
  std::string text = outcome.cancelled ? "loading '"
                     : partial         ? "showing part of '"
                                       : "cannot show '";
  window.notice_name_begin = text.size();
  text += shown_name;
  window.notice_name_end = text.size();
  if (outcome.cancelled) {
    text += "' cancelled";
  } else {
    text += "': ";
    text += outcome.reason;
  }
  window.notice = std::move(text);
  window.notice_is_warning = partial;
}

}  // namespace vistamere
