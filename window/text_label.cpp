#include "text_label.h"

namespace linksift {

void LinkedLabel::SetText(const std::string& text) {
  text_ = text;
  link_.reset();
  Show();
}

void LinkedLabel::SetTextWithLink(const std::string& text, TextSpan link) {
  text_ = text;
  link_ = link;
  Show();
}

void LinkedLabel::FollowLink() const {
  if (link_ && actions_.show_in_folder) actions_.show_in_folder();
}

void LinkedLabel::OpenLinkedFile() const {
  if (link_ && actions_.open) actions_.open();
}

}  // namespace linksift
