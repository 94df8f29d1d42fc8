#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "texts.h"

namespace linksift {

// The message label Label1. Text() gives back exactly what SetText() or
// SetTextWithLink() was given, line ends included, whatever the label does
// to show it.
class TextLabel {
 public:
  virtual ~TextLabel() = default;

  virtual std::string Text() const = 0;  // UTF-8
  // Plain text, no link.
  virtual void SetText(const std::string& text) = 0;
  // `link` of the text shows as a link (the file a run wrote); activating it
  // is the front end's to wire up. Copying still gives plain text.
  virtual void SetTextWithLink(const std::string& text, TextSpan link) = 0;
};

// What a label's link, and the two commands for urls.txt in its menu, do:
// RunController::ShowResultInFolder and OpenResult.
struct LinkActions {
  std::function<void()> show_in_folder;
  std::function<void()> open;
};

// What either front end's Label1 keeps: the text as set, the link in it and
// what the link and the menu's commands do. Each draws them in Show().
class LinkedLabel : public TextLabel {
 public:
  std::string Text() const final { return text_; }
  void SetText(const std::string& text) final;
  void SetTextWithLink(const std::string& text, TextSpan link) final;

  void SetLinkActions(LinkActions actions) { actions_ = std::move(actions); }
  bool HasLink() const { return link_.has_value(); }
  // The link's command, also the menu's "Показать в папке"; nothing while no link shows.
  void FollowLink() const;
  // The menu's "Открыть urls.txt"; nothing while no link shows.
  void OpenLinkedFile() const;

 protected:
  const std::optional<TextSpan>& Link() const { return link_; }
  // Draws Text() anew, with Link() as a link when there is one.
  virtual void Show() = 0;

 private:
  std::string text_;
  std::optional<TextSpan> link_;
  LinkActions actions_;
};

}  // namespace linksift
