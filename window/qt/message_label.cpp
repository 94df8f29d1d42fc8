#include "message_label.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QTextBoundaryFinder>

#include "layout.h"
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

constexpr Qt::TextInteractionFlags kSelectable =
    Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard;

// Screen readers meet the label as a link while it shows one, and can follow it.
class LabelAccessible final : public QAccessibleWidget {
 public:
  explicit LabelAccessible(MessageLabel* label)
      : QAccessibleWidget(label, QAccessible::StaticText) {}

  QAccessible::Role role() const override {
    return Label()->HasLink() ? QAccessible::Link : QAccessible::StaticText;
  }
  QStringList actionNames() const override {
    QStringList names = QAccessibleWidget::actionNames();
    if (Label()->HasLink()) names.prepend(pressAction());
    return names;
  }
  void doAction(const QString& name) override {
    if (name == pressAction() && Label()->HasLink()) {
      Label()->FollowLink();
    } else {
      QAccessibleWidget::doAction(name);
    }
  }

 private:
  MessageLabel* Label() const { return static_cast<MessageLabel*>(widget()); }
};

QAccessibleInterface* LabelAccessibleFactory(const QString&, QObject* object) {
  auto* label = dynamic_cast<MessageLabel*>(object);
  return label != nullptr ? new LabelAccessible(label) : nullptr;
}

// A piece of the shown text as markup: what the user sees stays as it is.
QString Html(const QString& shown) {
  QString html = shown.toHtmlEscaped();
  html.replace(u'\n', QStringLiteral("<br>"));
  return html;
}

}  // namespace

MessageLabel::MessageLabel(QWidget* parent) : QLabel(parent) {
  static const bool factory_installed =
      (QAccessible::installFactory(&LabelAccessibleFactory), true);
  (void)factory_installed;
  setObjectName("Label1");
  setAccessibleName(QString::fromUtf8(kLabel1AccessibleName));
  // Paths may hold anything, '<' included: never read them as markup.
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // The result is there to be copied; Tab reaches it after Command1.
  setTextInteractionFlags(kSelectable);
  setFocusPolicy(Qt::StrongFocus);
  connect(this, &QLabel::linkActivated, this, [this] { FollowLink(); });
}

void MessageLabel::Refresh() {
  // Markup only for a link: any other text stays plain, '<' and all.
  setTextFormat(HasLink() ? Qt::RichText : Qt::PlainText);
  setTextInteractionFlags(HasLink() ? kSelectable | Qt::LinksAccessibleByMouse : kSelectable);
  setFocusPolicy(Qt::StrongFocus);  // which the flags reset: Tab reaches the label
  setText(HasLink() ? LinkedHtml() : DisplayText(Text(), fontMetrics()));
}

void MessageLabel::Show() {
  ShrinkToFit();
  Refresh();
  // Screen readers hear the real text, not its break points.
  setAccessibleDescription(Plain(Text()));
  QAccessibleEvent changed(this, QAccessible::NameChanged);
  QAccessible::updateAccessibility(&changed);
  QAccessibleEvent alert(this, QAccessible::Alert);
  QAccessible::updateAccessibility(&alert);
}

QString MessageLabel::SelectedPlainText() const {
  QString text = selectedText().remove(kZeroWidthSpace);
  // Rows come back as paragraphs, or as line breaks from markup.
  text.replace(QChar::ParagraphSeparator, u'\n');
  text.replace(QChar::LineSeparator, u'\n');
  return text;
}

void MessageLabel::ShrinkToFit() {
  // A result longer than the label was sized for: smaller letters, but
  // readable ones; a text longer still scrolls (see Form1).
  if (!fitted_font_) return;
  QFont font = *fitted_font_;
  font.setPixelSize(ShrunkSize(Text(), Box(), fitted_font_->pixelSize(), MeasureWith(font)));
  setFont(font);
}

// The break points are for drawing only: what is copied is the real text.
void MessageLabel::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy) && hasSelectedText()) {
    QGuiApplication::clipboard()->setText(SelectedPlainText());
    return;
  }
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && HasLink()) {
    FollowLink();
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
  QAction* open = menu.addAction(QString::fromUtf8(kOpenOutputText));
  open->setEnabled(HasLink());
  connect(open, &QAction::triggered, this, [this] { OpenLinkedFile(); });
  QAction* show = menu.addAction(QString::fromUtf8(kShowInFolderText));
  show->setEnabled(HasLink());
  connect(show, &QAction::triggered, this, [this] { FollowLink(); });
  menu.exec(event->globalPos());
}

void MessageLabel::focusInEvent(QFocusEvent* event) {
  QLabel::focusInEvent(event);
  update();  // the focus frame
}

void MessageLabel::focusOutEvent(QFocusEvent* event) {
  QLabel::focusOutEvent(event);
  update();
}

void MessageLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!hasFocus()) return;
  // Tab reaches the label: show where the keys now go.
  QPainter painter(this);
  QStyleOptionFocusRect option;
  option.initFrom(this);
  option.backgroundColor = palette().color(QPalette::Window);
  style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

TextExtent MessageLabel::Box() const {
  // The place it was fitted to: the label itself grows with its text.
  const QRect area = fitted_area_.isEmpty() ? contentsRect() : fitted_area_;
  return {area.width(), area.height()};
}

MeasureText MessageLabel::MeasureWith(QFont font) const {
  return [this, font](const std::string& text, int size) mutable {
    font.setPixelSize(size);
    const QFontMetrics metrics(font);
    const TextExtent box = Box();
    const QRect needed = metrics.boundingRect(QRect(0, 0, box.width, box.height),
                                              Qt::TextWordWrap | alignment(),
                                              DisplayText(text, metrics));
    return TextExtent{needed.width(), needed.height()};
  };
}

void MessageLabel::FitFont(std::initializer_list<std::string> texts, int largest, int smallest) {
  fitted_area_ = contentsRect();
  QFont font = this->font();
  font.setStretch(QFont::Condensed);
  font.setPixelSize(LargestFittingSize(texts, Box(), largest, smallest, MeasureWith(font)));
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

QString MessageLabel::DisplayText(const std::string& text, const QFontMetrics& metrics) const {
  return BreakWideWords(Plain(text), metrics, contentsRect().width());
}

QString MessageLabel::LinkedHtml() const {
  const std::string text = Text();
  const std::string before = text.substr(0, Link()->start);
  const std::string link = text.substr(Link()->start, Link()->length);
  const std::string after = text.substr(Link()->start + Link()->length);
  const QFontMetrics metrics = fontMetrics();
  // pre-wrap keeps blanks as they are and still wraps.
  return QStringLiteral("<span style=\"white-space:pre-wrap\">") + Html(DisplayText(before, metrics)) +
         QStringLiteral("<a href=\"urls.txt\">") + Html(DisplayText(link, metrics)) +
         QStringLiteral("</a>") + Html(DisplayText(after, metrics)) + QStringLiteral("</span>");
}

}  // namespace linksift
