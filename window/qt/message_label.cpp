#include "message_label.h"

#include <QAccessible>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTextBoundaryFinder>
#include <algorithm>

#include "texts.h"

namespace linksift {
namespace {

constexpr QChar kZeroWidthSpace(0x200B);

// Lets `word` break between any two characters.
QString BreakAnywhere(const QString& word) {
  QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, word);
  QString result;
  qsizetype start = 0;
  for (qsizetype end = graphemes.toNextBoundary(); end > 0; end = graphemes.toNextBoundary()) {
    if (start > 0) result += kZeroWidthSpace;
    result += word.mid(start, end - start);
    start = end;
  }
  return result;
}

// Word wrap breaks only at blanks; a word wider than a row gets break
// points of its own instead of running past the label's edge.
QString BreakWideWords(const QString& text, const QFontMetrics& metrics, int width) {
  QString result;
  qsizetype start = 0;
  while (start <= text.size()) {
    qsizetype end = start;
    while (end < text.size() && text[end] != u' ' && text[end] != u'\n') ++end;
    const QString word = text.mid(start, end - start);
    result += metrics.horizontalAdvance(word) > width ? BreakAnywhere(word) : word;
    if (end < text.size()) result += text[end];
    start = end + 1;
  }
  return result;
}

}  // namespace

MessageLabel::MessageLabel(QWidget* parent) : QLabel(parent) {
  setObjectName("Label1");
  setAccessibleName(QString::fromUtf8(kLabel1AccessibleName));
  // Paths may hold anything, '<' included: never read them as markup.
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // The result is there to be copied; Tab reaches it after Command1.
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setFocusPolicy(Qt::StrongFocus);
}

void MessageLabel::SetText(const std::string& text) {
  text_ = text;
  if (fitted_font_) setFont(*fitted_font_);
  ShrinkToFit();
  Refresh();
  // Screen readers hear the real text, not its break points.
  setAccessibleDescription(Plain(text));
  QAccessibleEvent changed(this, QAccessible::NameChanged);
  QAccessible::updateAccessibility(&changed);
  QAccessibleEvent alert(this, QAccessible::Alert);
  QAccessible::updateAccessibility(&alert);
}

QString MessageLabel::SelectedPlainText() const {
  QString text = selectedText().remove(kZeroWidthSpace);
  // Rows come back as paragraphs.
  text.replace(QChar::ParagraphSeparator, u'\n');
  return text;
}

void MessageLabel::ShrinkToFit() {
  // A result longer than the label was sized for: smaller letters, never cut.
  QFont font = this->font();
  for (int size = font.pixelSize() - 1; size >= 1 && !Fits(text_); --size) {
    font.setPixelSize(size);
    setFont(font);
  }
}

// The break points are for drawing only: what is copied is the real text.
void MessageLabel::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy) && hasSelectedText()) {
    QGuiApplication::clipboard()->setText(SelectedPlainText());
    return;
  }
  QLabel::keyPressEvent(event);
}

void MessageLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (hasSelectedText() && clipboard->supportsSelection()) {
    clipboard->setText(SelectedPlainText(), QClipboard::Selection);
  }
}

void MessageLabel::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copy = menu.addAction(QString::fromUtf8(kCopyText));
  copy->setEnabled(hasSelectedText());
  connect(copy, &QAction::triggered, this,
          [this] { QGuiApplication::clipboard()->setText(SelectedPlainText()); });
  menu.exec(event->globalPos());
}

bool MessageLabel::Fits(const std::string& text) const {
  const QRect area = contentsRect();
  const QRect needed =
      fontMetrics().boundingRect(area, Qt::TextWordWrap | alignment(), DisplayText(text));
  return needed.width() <= area.width() && needed.height() <= area.height();
}

void MessageLabel::FitFont(std::initializer_list<std::string> texts, int largest, int smallest) {
  QFont font = this->font();
  font.setStretch(QFont::Condensed);
  for (int size = largest; size >= smallest; --size) {
    font.setPixelSize(size);
    setFont(font);
    if (std::all_of(texts.begin(), texts.end(), [this](const auto& t) { return Fits(t); })) {
      break;
    }
  }
  fitted_font_ = font;
  ShrinkToFit();
  Refresh();
}

void MessageLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::FontChange) Refresh();
}

void MessageLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Refresh();
}

QString MessageLabel::Plain(const std::string& text) {
  QString shown = QString::fromUtf8(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  // A final line end closes the last row; it opens no further one.
  if (shown.endsWith(u'\n')) shown.chop(1);
  return shown;
}

QString MessageLabel::DisplayText(const std::string& text) const {
  return BreakWideWords(Plain(text), fontMetrics(), contentsRect().width());
}

}  // namespace linksift
