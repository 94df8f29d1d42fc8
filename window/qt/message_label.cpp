#include "message_label.h"

#include <QEvent>
#include <QFontMetrics>
#include <QTextBoundaryFinder>
#include <algorithm>

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
  // Paths may hold anything, '<' included: never read them as markup.
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setFocusPolicy(Qt::NoFocus);
}

void MessageLabel::SetText(const std::string& text) {
  text_ = text;
  Refresh();
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
      return;
    }
  }
}

void MessageLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::FontChange) Refresh();
}

void MessageLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Refresh();
}

QString MessageLabel::DisplayText(const std::string& text) const {
  QString shown = QString::fromUtf8(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  // A final line end closes the last row; it opens no further one.
  if (shown.endsWith(u'\n')) shown.chop(1);
  return BreakWideWords(shown, fontMetrics(), contentsRect().width());
}

}  // namespace linksift
