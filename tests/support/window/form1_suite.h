#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "end_process.h"
#include "fakes.h"
#include "test_support.h"
#include "texts.h"
#include "utf16.h"

namespace linksift::testing_support {

struct PixelBox {
  int left, top, width, height;
  friend bool operator==(const PixelBox&, const PixelBox&) = default;
};

inline void PrintTo(const PixelBox& box, std::ostream* out) {
  *out << box.left << "," << box.top << " " << box.width << "x" << box.height;
}

enum class FocusOn { kCommand1, kLabel1, kOther };
inline void PrintTo(FocusOn on, std::ostream* out) {
  *out << (on == FocusOn::kCommand1 ? "Command1" : on == FocusOn::kLabel1 ? "Label1" : "other");
}
enum class Key { kTab, kEnter, kSpace, kEscape };

struct ShownText {
  bool whole;
  bool scrolls;
};

using MenuItems = std::vector<std::pair<std::string, bool>>;

// Characters in UTF-8 `text`.
inline std::size_t Letters(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// What either front end's Form1 does for the user, run against each: a
// front end's test file gives a fixture, derived from Form1TestBase, that
// drives its Form1 as a user would:
//
//   Show()                    the window on screen, active, Command1 focused
//   AtDefaultDpi()            whether pixels are those of 96 dpi
//   ClientBox(), Command1Box(), Label1Box(), BarBox()   where they stand
//   Title(), Command1Text()   UTF-8
//   Focused()                 which of the two controls has the keys
//   PressKey(key)             a key on what has the focus (Esc on the window)
//   Press()                   a click on Command1
//   Command1Enabled(), BarShown(), LabelShown()
//   WaitUntil(done)           runs the window's events until `done`
//   Settle()                  runs the events pending
//   Label()                   Label1 as the controller sees it
//   FontSize()                Label1's letters, in pixels at 96 dpi
//   HowShown(text)            with `text` in Label1: whether every row of it
//                             can be seen, in place or by scrolling, and
//                             whether it scrolls
//   CopyAll()                 selects the label's text and copies it
//   kCopiedLineEnd            how a copy ends its lines
//   HasSelection()
//   ClickOnLink()             a click on the result's path
//   OpenMenu()                the label's menu: each item's text, enabled
//   Drop(files)               files dropped on the window
//   StartSlowRun(line)        Command1 on a pipe that has sent `line`, once
//                             the run has opened it; gives the pipe
//   CloseWindow()             as the user closes it; true once closed
//   ExpectTheRunGone(input)   after a close: what the front end adds
template <class Driver>
class Form1Suite : public Driver {
 protected:
  std::filesystem::path Urls() const { return this->dir_ / "urls.txt"; }
  std::string UrlsShown() const { return Utf8FromPath(Urls()); }
  std::filesystem::path Input(const std::string& name, const std::string& bytes) const {
    WriteFile(this->dir_ / name, bytes);
    return this->dir_ / name;
  }
  long DialogsShown() const {
    return std::count(this->log_.begin(), this->log_.end(), kOpenDialogShown);
  }
  void ExpectOldOutput() const {
    EXPECT_EQ(ReadFile(Urls()), "old\r\n");
    EXPECT_EQ(CountTemporaries(this->dir_), 0u) << "a temporary file was left";
    EXPECT_TRUE(this->errors_.empty());
  }
};

TYPED_TEST_SUITE_P(Form1Suite);

// The layout's twips at 96 dpi: 15 to the pixel.
TYPED_TEST_P(Form1Suite, HasItsControlsAtTheirPlaces) {
  this->Show();
  if (!this->AtDefaultDpi()) GTEST_SKIP() << "sizes are checked at 96 dpi";
  EXPECT_EQ(this->ClientBox(), (PixelBox{0, 0, 360, 166}));
  EXPECT_EQ(this->Command1Box(), (PixelBox{48, 20, 257, 21}));
  EXPECT_EQ(this->Label1Box(), (PixelBox{12, 48, 337, 113}));
  EXPECT_EQ(this->Title(), "Linksift");
  EXPECT_EQ(this->Command1Text(), "Открыть файл...");
  EXPECT_EQ(this->Focused(), FocusOn::kCommand1);
  EXPECT_FALSE(this->BarShown());
  EXPECT_EQ(this->Label().Text(), BuildInstructionText());
}

TYPED_TEST_P(Form1Suite, TabGoesFromCommand1ToTheLabelAndBackAndEnterThereStillPressesCommand1) {
  this->Show();
  ASSERT_EQ(this->Focused(), FocusOn::kCommand1);
  this->PressKey(Key::kTab);
  EXPECT_EQ(this->Focused(), FocusOn::kLabel1);
  this->PressKey(Key::kTab);
  EXPECT_EQ(this->Focused(), FocusOn::kCommand1) << "only two stops";
  this->PressKey(Key::kTab);
  ASSERT_EQ(this->Focused(), FocusOn::kLabel1);
  // The label has no use for Enter without a link.
  this->PressKey(Key::kEnter);
  EXPECT_EQ(this->DialogsShown(), 1);
}

TYPED_TEST_P(Form1Suite, EnterAndSpacePressCommand1) {
  this->Show();
  for (const Key key : {Key::kEnter, Key::kSpace}) {
    this->log_.clear();
    this->PressKey(key);
    this->Settle();
    EXPECT_EQ(this->DialogsShown(), 1) << static_cast<int>(key);
  }
}

// Readable letters, never cut: a text too long for the label at four fifths
// of its size scrolls inside it; the instructions keep their size.
TYPED_TEST_P(Form1Suite, EverythingTheLabelHoldsShowsInFullOrScrolls) {
  this->Show();
  const int fitted = this->FontSize();
  bool scrolled = false;
  for (const std::string shape : {"W", "Ш", "a/", "a\\", "пап ка/"}) {
    for (const std::size_t length : {120u, 387u, 1000u}) {
      std::string path = "/";
      while (Letters(path) < length) path += shape;
      const std::string text = BuildResultText(UINT64_MAX, path);
      const std::string row = std::to_string(length) + " " + shape;
      this->Label().SetText(text);
      const ShownText shown = this->HowShown(text);
      EXPECT_TRUE(shown.whole) << row;
      EXPECT_EQ(this->Label().Text(), text) << row;
      EXPECT_LE(this->FontSize(), fitted) << row;
      EXPECT_GE(this->FontSize() * 5, fitted * 4) << row << ": below four fifths";
      scrolled = scrolled || shown.scrolls;
    }
  }
  EXPECT_TRUE(scrolled) << "no text long enough to scroll: test is moot";
  EXPECT_LT(this->FontSize(), fitted) << "the longest path needs smaller letters";
  this->Label().SetText(BuildInstructionText());
  EXPECT_FALSE(this->HowShown(BuildInstructionText()).scrolls);
  EXPECT_EQ(this->FontSize(), fitted);
}

// Plain, and with the path as a link: the copy is the same plain text, the
// path's characters exactly (a no-break space, a line separator, a lone CR).
TYPED_TEST_P(Form1Suite, TheLabelsTextCanBeSelectedAndCopied) {
  this->Show();
  const std::string path =
      "/Данные/" + std::string(200, 'b') + "/<i>&  b\u00A0c\u2028d\re/urls.txt";
  const std::string text = BuildResultText(3, path);
  std::string expected = text;
  for (std::size_t at = 0; (at = expected.find("\r\n", at)) != std::string::npos;) {
    expected.replace(at, 2, TypeParam::kCopiedLineEnd);
    at += TypeParam::kCopiedLineEnd.size();
  }
  for (const bool linked : {false, true}) {
    if (linked) {
      this->Label().SetTextWithLink(text, ResultPathSpan(text, path));
    } else {
      this->Label().SetText(text);
    }
    EXPECT_EQ(this->CopyAll(), expected) << linked;
  }
}

TYPED_TEST_P(Form1Suite, ARunShowsTheCountAndThePathItWrote) {
  this->dialog_->answer = this->Input("in.txt", "see http://a, x\r\nnone\r\nhttp://b\r\n");
  this->Press();
  ASSERT_TRUE(this->WaitUntil([this] { return this->Label().Text() != BuildInstructionText(); }));
  EXPECT_EQ(this->log_, CallLog{kOpenDialogShown});
  EXPECT_EQ(ReadFile(this->Urls()), "http://a\r\nhttp://b\r\n");
  EXPECT_EQ(this->Label().Text(), BuildResultText(2, this->UrlsShown()));
  EXPECT_TRUE(this->errors_.empty());
  // A second press replaces both.
  this->dialog_->answer = this->Input("other.txt", "nothing\r\n");
  this->Press();
  ASSERT_TRUE(this->WaitUntil(
      [this] { return this->Label().Text() == BuildResultText(0, this->UrlsShown()); }));
  EXPECT_EQ(ReadFile(this->Urls()), "");
  EXPECT_TRUE(this->Command1Enabled());
}

TYPED_TEST_P(Form1Suite, TheResultsPathIsALinkToUrlsTxtForKeysMouseAndMenu) {
  this->Show();
  this->dialog_->answer = this->Input("in.txt", "http://a\r\n");
  this->Press();
  ASSERT_TRUE(this->WaitUntil([this] { return this->Label().HasLink(); }));
  EXPECT_EQ(this->Label().Text(), BuildResultText(1, this->UrlsShown()));
  const CallLog shown_in_folder = {"ShowInFolder " + this->Urls().string()};
  this->log_.clear();
  this->PressKey(Key::kTab);
  ASSERT_EQ(this->Focused(), FocusOn::kLabel1);
  this->PressKey(Key::kEnter);
  EXPECT_EQ(this->log_, shown_in_folder) << "Enter on the label";
  this->log_.clear();
  this->ClickOnLink();
  EXPECT_EQ(this->log_, shown_in_folder) << "a click on the path";
  // Plain text again: nothing to follow, and Enter presses Command1.
  const std::string result = this->Label().Text();
  this->Label().SetText(BuildInstructionText());
  this->dialog_->answer.reset();
  this->log_.clear();
  this->PressKey(Key::kEnter);
  EXPECT_EQ(this->log_, CallLog{kOpenDialogShown});
  EXPECT_EQ(this->OpenMenu(), (MenuItems{{"Копировать", this->HasSelection()},
                                         {"Открыть urls.txt", false},
                                         {"Показать в папке", false}}))
      << "the instructions name no file";
  this->Label().SetTextWithLink(result, ResultPathSpan(result, this->UrlsShown()));
  EXPECT_EQ(this->OpenMenu(), (MenuItems{{"Копировать", this->HasSelection()},
                                         {"Открыть urls.txt", true},
                                         {"Показать в папке", true}}));
}

TYPED_TEST_P(Form1Suite, ADroppedFileRunsAsIfChosenTheFirstOfSeveral) {
  this->Drop(
      {this->Input("first.txt", "a http://a b\r\n"), this->Input("second.txt", "http://b\r\n")});
  const std::string result = BuildResultText(1, this->UrlsShown());
  ASSERT_TRUE(this->WaitUntil([&] { return this->Label().Text() == result; }));
  EXPECT_EQ(ReadFile(this->Urls()), "http://a\r\n");
  EXPECT_TRUE(this->log_.empty()) << "no dialog for a drop";
  EXPECT_TRUE(this->errors_.empty());
}

TYPED_TEST_P(Form1Suite, ACancelledDialogChangesNothing) {
  this->Press();
  this->Settle();
  EXPECT_EQ(this->DialogsShown(), 1);
  EXPECT_EQ(this->Label().Text(), BuildInstructionText());
  EXPECT_FALSE(std::filesystem::exists(this->Urls()));
  EXPECT_TRUE(this->errors_.empty());
}

TYPED_TEST_P(Form1Suite, AFailureIsReportedAndTheWindowGoesOn) {
  WriteFile(this->Urls(), "old\r\n");
  this->dialog_->answer = this->dir_ / PathFromUtf8("нет такого.txt");
  this->Show();
  this->Press();
  ASSERT_TRUE(this->WaitUntil([this] { return !this->errors_.empty(); }));
  ASSERT_EQ(this->errors_.size(), 1u);
  EXPECT_NE(this->errors_[0].find("нет такого.txt"), std::string::npos) << this->errors_[0];
  EXPECT_EQ(this->Label().Text(), BuildInstructionText());
  EXPECT_EQ(ReadFile(this->Urls()), "old\r\n");
  // The next press works as ever.
  this->dialog_->answer = this->Input("in.txt", "http://z/ end");
  ASSERT_TRUE(this->WaitUntil([this] { return this->Command1Enabled(); }));
  this->Press();
  ASSERT_TRUE(this->WaitUntil([this] { return this->Label().HasLink(); }));
  EXPECT_EQ(ReadFile(this->Urls()), "http://z/\r\n");
}

// While a run lasts the bar stands in the label's place, along its top edge,
// after a delay; Esc cancels the run and leaves urls.txt as it was.
TYPED_TEST_P(Form1Suite, ALongRunShowsTheBarInPlaceOfTheLabelAndEscCancelsIt) {
  this->Show();
  WriteFile(this->Urls(), "old\r\n");
  const std::unique_ptr<PipeWriter> input = this->StartSlowRun("x http://a/ y\r\n");
  EXPECT_FALSE(this->Command1Enabled());
  EXPECT_FALSE(this->BarShown()) << "not before the delay";
  ASSERT_TRUE(this->WaitUntil([this] { return this->BarShown(); })) << "the window is held up";
  EXPECT_FALSE(this->LabelShown()) << "the bar stands in for the label";
  const PixelBox bar = this->BarBox();
  EXPECT_EQ(bar.left, this->Label1Box().left);
  EXPECT_EQ(bar.top, this->Label1Box().top);
  EXPECT_EQ(bar.height, this->Command1Box().height);
  EXPECT_EQ(this->Label().Text(), BuildInstructionText());
  this->Press();
  EXPECT_EQ(this->DialogsShown(), 1) << "a second run started";

  this->PressKey(Key::kEscape);
  ASSERT_TRUE(this->WaitUntil([this] { return this->Command1Enabled(); }));
  EXPECT_EQ(this->Label().Text(), BuildCancelText());
  EXPECT_FALSE(this->Label().HasLink());
  EXPECT_FALSE(this->BarShown());
  EXPECT_TRUE(this->LabelShown());
  EXPECT_EQ(this->Focused(), FocusOn::kCommand1) << "Enter would not press it";
  this->ExpectOldOutput();
}

TYPED_TEST_P(Form1Suite, ALongRunThatEndsShowsItsResult) {
  this->Show();
  const std::unique_ptr<PipeWriter> input = this->StartSlowRun("x http://a/ y\r\n");
  ASSERT_TRUE(this->WaitUntil([this] { return this->BarShown(); }));
  input->Send("http://b/\r\n");
  input->Close();
  ASSERT_TRUE(this->WaitUntil([this] { return this->Command1Enabled(); }));
  EXPECT_EQ(this->Label().Text(), BuildResultText(2, this->UrlsShown()));
  EXPECT_EQ(ReadFile(this->Urls()), "http://a/\r\nhttp://b/\r\n");
  EXPECT_FALSE(this->BarShown());
  EXPECT_TRUE(this->LabelShown());
  EXPECT_EQ(this->Focused(), FocusOn::kCommand1) << "Enter would not press it";
  EXPECT_TRUE(this->errors_.empty());
}

// The window waits for the cancelled run; a forced end of the process, which
// would end this test program with status 0, is counted instead.
TYPED_TEST_P(Form1Suite, ClosingTheWindowCancelsTheRunAndWaitsForIt) {
  static int forced_exits = 0;
  forced_exits = 0;
  ReplaceEndProcessForTests([](int) { ++forced_exits; });
  this->Show();
  WriteFile(this->Urls(), "old\r\n");
  const std::unique_ptr<PipeWriter> input = this->StartSlowRun("x http://a/ y\r\n");
  const bool closed = this->CloseWindow();
  ReplaceEndProcessForTests(nullptr);
  ASSERT_TRUE(closed);
  EXPECT_EQ(forced_exits, 0) << "the window gave up waiting and ended the process";
  this->ExpectOldOutput();
  this->ExpectTheRunGone(*input);
}

REGISTER_TYPED_TEST_SUITE_P(Form1Suite, HasItsControlsAtTheirPlaces,
                            TabGoesFromCommand1ToTheLabelAndBackAndEnterThereStillPressesCommand1,
                            EnterAndSpacePressCommand1, EverythingTheLabelHoldsShowsInFullOrScrolls,
                            TheLabelsTextCanBeSelectedAndCopied, ARunShowsTheCountAndThePathItWrote,
                            TheResultsPathIsALinkToUrlsTxtForKeysMouseAndMenu,
                            ADroppedFileRunsAsIfChosenTheFirstOfSeveral,
                            ACancelledDialogChangesNothing, AFailureIsReportedAndTheWindowGoesOn,
                            ALongRunShowsTheBarInPlaceOfTheLabelAndEscCancelsIt,
                            ALongRunThatEndsShowsItsResult,
                            ClosingTheWindowCancelsTheRunAndWaitsForIt);

}  // namespace linksift::testing_support
