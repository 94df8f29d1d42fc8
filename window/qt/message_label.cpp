#include "message_label.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <cmath>

#include "layout.h"
#include "texts.h"

namespace linksift {
namespace {

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

QString PlainText(const std::string& text) {
  QString shown = QString::fromUtf8(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  // A final line end closes the last row; it opens no further one.
  if (shown.endsWith(u'\n')) shown.chop(1);
  return shown;
}

// Rows as the label lays them out: at blanks, and inside a word too wide for a row.
void SetUpLayout(QTextDocument& document) {
  document.setDocumentMargin(0);
  QTextOption option = document.defaultTextOption();
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  document.setDefaultTextOption(option);
}

}  // namespace

MessageLabel::MessageLabel(QWidget* parent) : QTextBrowser(parent) {
  static const bool factory_installed =
      (QAccessible::installFactory(&LabelAccessibleFactory), true);
  (void)factory_installed;
  setObjectName("Label1");
  setAccessibleName(QString::fromUtf8(kLabel1AccessibleName));
  // Drawn as a label on the window, not as a field.
  setFrameStyle(QFrame::NoFrame);
  viewport()->setAutoFillBackground(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  SetUpLayout(*document());
  // The result is there to be copied; Tab reaches it after Command1, and
  // leaves it again.
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard |
                          Qt::LinksAccessibleByMouse);
  setTabChangesFocus(true);
  setFocusPolicy(Qt::StrongFocus);
  setOpenLinks(false);
  connect(this, &QTextBrowser::anchorClicked, this, [this] { FollowLink(); });
}

void MessageLabel::Show() {
  if (fitted_font_) {
    QFont font = *fitted_font_;
    font.setPixelSize(ShrunkSize(Text(), Box(), fitted_font_->pixelSize(), MeasureWith(font)));
    setFont(font);
  }
  // Never markup: paths may hold anything, '<' included.
  clear();
  QTextCursor cursor(document());
  const std::string text = Text();
  if (const std::optional<TextSpan>& link = Link()) {
    QTextCharFormat linked;
    linked.setAnchor(true);
    linked.setAnchorHref(QStringLiteral("urls.txt"));
    // No underline: it would hide the path's underscores.
    linked.setForeground(palette().link());
    cursor.insertText(PlainText(text.substr(0, link->start)));
    cursor.insertText(PlainText(text.substr(link->start, link->length)), linked);
    cursor.insertText(PlainText(text.substr(link->start + link->length)), QTextCharFormat());
  } else {
    cursor.insertText(PlainText(text));
  }
  // Screen readers hear the text as it is.
  setAccessibleDescription(PlainText(text));
  QAccessibleEvent changed(this, QAccessible::NameChanged);
  QAccessible::updateAccessibility(&changed);
  QAccessibleEvent alert(this, QAccessible::Alert);
  QAccessible::updateAccessibility(&alert);
}

// What is copied is plain text, whatever is drawn as a link, and the very
// characters set: the document's own plain text turns a no-break space into a
// blank and a line separator or a lone CR into a line feed. Each character
// set takes one place in the document, so the selection's places are the
// text's.
QMimeData* MessageLabel::createMimeDataFromSelection() const {
  auto* data = new QMimeData;
  const QTextCursor selection = textCursor();
  data->setText(PlainText(Text()).mid(selection.selectionStart(),
                                      selection.selectionEnd() - selection.selectionStart()));
  return data;
}

void MessageLabel::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && HasLink()) {
    FollowLink();
    return;
  }
  // The menu's other key, where the keyboard has no Menu key.
  if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
    const QPoint at = cursorRect().center();
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, viewport()->mapToGlobal(at));
    contextMenuEvent(&menu);
    return;
  }
  QTextBrowser::keyPressEvent(event);
}

void MessageLabel::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copy = menu.addAction(QString::fromUtf8(kCopyText));
  copy->setEnabled(textCursor().hasSelection());
  connect(copy, &QAction::triggered, this, &QTextBrowser::copy);
  QAction* open = menu.addAction(QString::fromUtf8(kOpenOutputText));
  open->setEnabled(HasLink());
  connect(open, &QAction::triggered, this, [this] { OpenLinkedFile(); });
  QAction* show = menu.addAction(QString::fromUtf8(kShowInFolderText));
  show->setEnabled(HasLink());
  connect(show, &QAction::triggered, this, [this] { FollowLink(); });
  menu.exec(event->globalPos());
}

void MessageLabel::paintEvent(QPaintEvent* event) {
  QTextBrowser::paintEvent(event);
  if (!hasFocus()) return;
  // Tab reaches the label: show where the keys now go.
  QPainter painter(viewport());
  QStyleOptionFocusRect option;
  option.initFrom(this);
  option.rect = viewport()->rect();
  option.backgroundColor = palette().color(QPalette::Window);
  style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

TextExtent MessageLabel::Box() const {
  const QRect area = fitted_area_.isEmpty() ? contentsRect() : fitted_area_;
  return {area.width(), area.height()};
}

MeasureText MessageLabel::MeasureWith(QFont font) const {
  return [this, font](const std::string& text, int size) mutable {
    font.setPixelSize(size);
    QTextDocument document;
    SetUpLayout(document);
    document.setDefaultFont(font);
    document.setPlainText(PlainText(text));
    document.setTextWidth(Box().width);
    return TextExtent{static_cast<int>(std::ceil(document.idealWidth())),
                      static_cast<int>(std::ceil(document.size().height()))};
  };
}

void MessageLabel::FitFont(std::initializer_list<std::string> texts, int largest, int smallest) {
  fitted_area_ = contentsRect();  // without a scroll bar
  QFont font = this->font();
  font.setStretch(QFont::Condensed);
  font.setPixelSize(LargestFittingSize(texts, Box(), largest, smallest, MeasureWith(font)));
  fitted_font_ = font;
  Show();
}

}  // namespace linksift
