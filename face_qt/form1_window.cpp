#include "face_qt/form1_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFont>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QUrl>
#include <map>

#include "face_qt/cursor_file.h"
#include "window/form_layout.h"

namespace {

// Qt scales pixels on screens with more dots itself, so the form is laid out in
// pixels at 96 dpi.
constexpr int kLogicalDpi = 96;

int Px(int twips) { return window::TwipsToPixels(twips, kLogicalDpi); }

QFont FontOf(const window::FontSpec& spec) {
  QFont font(QString::fromUtf8(spec.family));
  font.setPointSizeF(spec.centipoints / 100.0);
  font.setBold(spec.bold);
  return font;
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

int ButtonBits(Qt::MouseButtons buttons) {
  return (buttons & Qt::LeftButton ? window::kLeftButton : 0) |
         (buttons & Qt::RightButton ? window::kRightButton : 0) |
         (buttons & Qt::MiddleButton ? window::kMiddleButton : 0);
}

}  // namespace

Form1Window::Form1Window(window::FormServices services, QWidget* parent) : QWidget(parent) {
  BuildControls();
  platform::Dialogs& dialogs = services.dialogs;
  form_ = std::make_unique<window::Form1>(*this, std::move(services));
  events_ = std::make_unique<window::Form1Events>(*form_, dialogs);
  ConnectHandlers();
}

Form1Window::~Form1Window() = default;

void Form1Window::BuildControls() {
  setObjectName(QStringLiteral("Form1"));
  setFont(FontOf(window::kWindowFont));
  setFixedSize(Px(window::kClientTwipsWide), Px(window::kClientTwipsHigh));
  setMouseTracking(true);

  std::map<window::ControlId, QWidget*> made;
  for (const window::ControlSpec& spec : window::Controls()) {
    QWidget* parent = spec.container == window::kNoControl ? this : made.at(spec.container);
    const QString caption = Q(spec.caption);
    QWidget* widget = nullptr;
    switch (spec.kind) {
      case window::ControlKind::kPushButton:
        widget = new QPushButton(caption, parent);
        break;
      case window::ControlKind::kListView: {
        auto* list = new FileListView(parent);
        list->setHeaderHidden(false);
        widget = list;
        break;
      }
      case window::ControlKind::kFrame:
        widget = new QGroupBox(caption, parent);
        break;
      case window::ControlKind::kOption: {
        // The two options form one group kept exclusive by Form1: start-up may
        // restore both of them cleared, which Qt's exclusive groups do not allow.
        auto* option = new QRadioButton(caption, parent);
        option->setAutoExclusive(false);
        option->setChecked(spec.selected);
        widget = option;
        break;
      }
      case window::ControlKind::kTextBox:
        widget = new QLineEdit(caption, parent);
        break;
      case window::ControlKind::kProgressBar: {
        auto* bar = new ProgressBar(parent);
        bar->setText(caption);
        widget = bar;
        break;
      }
    }
    widget->setObjectName(QString::fromUtf8(spec.name));
    widget->setFont(FontOf(*spec.font));
    if (*spec.tooltip != '\0') widget->setToolTip(Q(spec.tooltip));
    widget->setGeometry(Px(spec.left), Px(spec.top), Px(spec.width), Px(spec.height));
    // Pointer moves over buttons and frames drive the window's pointer rules.
    if (spec.kind == window::ControlKind::kPushButton || spec.kind == window::ControlKind::kFrame) {
      widget->setMouseTracking(true);
      widget->installEventFilter(this);
    }
    made[spec.id] = widget;
  }
  auto get = [&]<typename T>(window::ControlId id, T*& member) { member = static_cast<T*>(made.at(id)); };
  get(window::kPushButton3, PushButton3);
  get(window::kListView1, ListView1);
  get(window::kPushButton1, PushButton1);
  get(window::kPushButton4, PushButton4);
  get(window::kPushButton6, PushButton6);
  get(window::kPushButton7, PushButton7);
  get(window::kFrame1, Frame1);
  get(window::kOption1, Option1);
  get(window::kFrame4, Frame4);
  get(window::kText1, Text1);
  get(window::kPushButton9, PushButton9);
  get(window::kOption2, Option2);
  get(window::kPushButton2, PushButton2);
  get(window::kProgressBar1, ProgressBar1);
}

void Form1Window::ConnectHandlers() {
  window::FormEvents* events = events_.get();
  for (QPushButton* button : {PushButton1, PushButton2, PushButton3, PushButton4, PushButton6, PushButton7,
                              PushButton9}) {
    // PushButton<n> reports click n.
    const int number = button->objectName().mid(10).toInt();
    connect(button, &QPushButton::clicked, this, [events, number] { events->PushButtonClick(number); });
  }
  connect(Option1, &QRadioButton::clicked, this, [events] { events->OptionClick(1); });
  connect(Option2, &QRadioButton::clicked, this, [events] { events->OptionClick(2); });
  connect(Text1, &QLineEdit::textChanged, this, [events] { events->Text1Change(); });

  connect(ListView1, &FileListView::KeyDown, this, [events](int key, Qt::KeyboardModifiers modifiers) {
    const int shift = (modifiers & Qt::ShiftModifier ? window::kShift : 0) |
                      (modifiers & Qt::ControlModifier ? window::kCtrl : 0) |
                      (modifiers & Qt::AltModifier ? window::kAlt : 0);
    events->ListKeyDown(VirtualKey(key), shift);
  });
  connect(ListView1, &FileListView::DoubleClicked, this, [events] { events->ListDblClick(); });
  connect(ListView1, &FileListView::ItemClicked, this, [events] { events->ListItemClick(); });
  connect(ListView1, &FileListView::MouseDown, this, [events](Qt::MouseButton button, const QPoint& pos) {
    events->ListMouseDown(ButtonBits(button), pos.x(), pos.y());
  });
  connect(ListView1, &FileListView::MouseMoved, this, [events](Qt::MouseButtons buttons, const QPoint& pos) {
    events->ListMouseMove(ButtonBits(buttons), pos.x(), pos.y());
  });
  connect(ListView1, &FileListView::MouseUp, this, [events](Qt::MouseButton button, const QPoint& pos) {
    events->ListMouseUp(ButtonBits(button), pos.x(), pos.y());
  });
  ListView1->drag_over = [events](const QMimeData* data) { return events->ListDragOver(LocalPaths(data)); };
  ListView1->drag_drop = [events](const QMimeData* data) { events->ListDragDrop(LocalPaths(data)); };
}

int Form1Window::VirtualKey(int qt_key) {
  // Letters and digits share their codes; the rest by table.
  if ((qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) || (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9)) return qt_key;
  if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) return 0x70 + (qt_key - Qt::Key_F1);
  static const std::map<int, int> kKeys = {
      {Qt::Key_Backspace, 0x08}, {Qt::Key_Tab, 0x09},     {Qt::Key_Return, 0x0D}, {Qt::Key_Enter, 0x0D},
      {Qt::Key_Escape, 0x1B},    {Qt::Key_Space, 0x20},   {Qt::Key_PageUp, 0x21}, {Qt::Key_PageDown, 0x22},
      {Qt::Key_End, 0x23},       {Qt::Key_Home, 0x24},    {Qt::Key_Left, 0x25},   {Qt::Key_Up, 0x26},
      {Qt::Key_Right, 0x27},     {Qt::Key_Down, 0x28},    {Qt::Key_Insert, 0x2D}, {Qt::Key_Delete, window::kKeyDelete},
  };
  const auto it = kKeys.find(qt_key);
  return it == kKeys.end() ? 0 : it->second;
}

std::vector<std::string> Form1Window::LocalPaths(const QMimeData* data) {
  std::vector<std::string> paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const QString path = url.toLocalFile();
    if (!path.isEmpty()) paths.push_back(QDir::toNativeSeparators(path).toStdString());
  }
  return paths;
}

// ---------------------------------------------------------------------------
// The window itself.

void Form1Window::SetCaption(const std::string& caption) {
  setWindowTitle(Q(caption));
  setWindowIcon(QIcon(QStringLiteral(":/mailvane/mailvane.png")));
}

void Form1Window::ApplySkin(const std::string& style_sheet) {
  const QColor button_face = palette().color(QPalette::Button);
  auto paint_background = [&](QWidget* widget) {
    QPalette colours = widget->palette();
    colours.setColor(QPalette::Window, button_face);
    widget->setPalette(colours);
    widget->setAutoFillBackground(true);
  };
  paint_background(this);
  for (QWidget* child : findChildren<QWidget*>()) {
    if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) ||
        qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child)) {
      paint_background(child);
    }
  }
  // The skin is a Qt style sheet for this window.
  setStyleSheet(QString::fromUtf8(style_sheet.data(), static_cast<qsizetype>(style_sheet.size())));
}

std::string Form1Window::DesktopLocation() {
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  return QDir::toNativeSeparators(desktop).toStdString();
}

std::string Form1Window::HomeLocation() { return QDir::toNativeSeparators(QDir::homePath()).toStdString(); }

void Form1Window::closeEvent(QCloseEvent* event) {
  event->accept();
  events_->Unload();
}

// ---------------------------------------------------------------------------
// Pointers.

void Form1Window::LoadHandPointer(const std::string& file) { hand_pointer_ = LoadCursorFile(Q(file)); }

QCursor Form1Window::PointerCursor(window::Pointer pointer) const {
  switch (pointer) {
    case window::Pointer::kHourglass:
      return Qt::WaitCursor;
    case window::Pointer::kHand:
      if (hand_pointer_) return *hand_pointer_;
      break;
    case window::Pointer::kDrag:
      if (drag_pointer_) return *drag_pointer_;
      break;
    case window::Pointer::kDefault:
      break;
  }
  return Qt::ArrowCursor;
}

void Form1Window::SetFormPointer(window::Pointer pointer) {
  pointer_ = pointer;
  if (pointer == window::Pointer::kDefault) {
    unsetCursor();
  } else {
    setCursor(PointerCursor(pointer));
  }
  if (pointer == window::Pointer::kHourglass) {
    Text1->setCursor(Qt::WaitCursor);
  } else {
    Text1->setCursor(Qt::IBeamCursor);  // the text box's own pointer
  }
}

window::Pointer Form1Window::FormPointer() const { return pointer_; }

void Form1Window::LoadDragPointer(const std::string& file) { drag_pointer_ = LoadCursorFile(Q(file)); }

void Form1Window::SetListPointer(window::Pointer pointer) { ListView1->setCursor(PointerCursor(pointer)); }

int Form1Window::ScreenPointerY() const {
  return screen_pointer_y ? screen_pointer_y() : QCursor::pos().y();
}

bool Form1Window::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    // A move that a child passed up (its own moves are ignored by the child)
    // is not a move over the frame itself.
    const bool on_surface = [&] {
      auto* widget = qobject_cast<QWidget*>(watched);
      return widget != nullptr && widget->childAt(mouse->position().toPoint()) == nullptr;
    }();
    if (qobject_cast<QPushButton*>(watched) != nullptr) {
      form_->PushButton_MouseMove();
    } else if (watched == Frame1 && on_surface) {
      form_->Frame1_MouseMove();
    } else if (watched == Frame4 && on_surface) {
      form_->Frame4_MouseMove();
    }
  }
  return QWidget::eventFilter(watched, event);
}

void Form1Window::mouseMoveEvent(QMouseEvent* event) {
  if (childAt(event->position().toPoint()) == nullptr) form_->Form_MouseMove();
  QWidget::mouseMoveEvent(event);
}

// ---------------------------------------------------------------------------
// ListView1.

void Form1Window::SetListHeader(const std::string& text) { ListView1->setHeaderLabels({Q(text)}); }

void Form1Window::SetListColumnWidth(int twips) { ListView1->setColumnWidth(0, Px(twips)); }

int Form1Window::ItemCount() const { return ListView1->topLevelItemCount(); }

std::string Form1Window::ItemText(int index1) const {
  const QTreeWidgetItem* item = ListView1->topLevelItem(index1 - 1);
  return item != nullptr ? item->text(0).toStdString() : std::string();
}

void Form1Window::SetItemText(int index1, const std::string& text) {
  if (QTreeWidgetItem* item = ListView1->topLevelItem(index1 - 1)) item->setText(0, Q(text));
}

void Form1Window::AddItem(const std::string& text) {
  auto* item = new QTreeWidgetItem(ListView1);
  item->setText(0, Q(text));
}

void Form1Window::RemoveItem(int index1) { delete ListView1->takeTopLevelItem(index1 - 1); }

void Form1Window::ClearItems() { ListView1->clear(); }

int Form1Window::SelectedItem() const {
  const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
  return selected.isEmpty() ? 0 : ListView1->IndexOf(selected.first());
}

void Form1Window::SetCurrentItem(int index1) { ListView1->setCurrentItem(ListView1->topLevelItem(index1 - 1)); }

void Form1Window::ScrollToItem(int index1) { ListView1->scrollToItem(ListView1->topLevelItem(index1 - 1)); }

int Form1Window::ItemAt(int x, int y) const { return ListView1->IndexOf(ListView1->itemAt(QPoint(x, y))); }

// ---------------------------------------------------------------------------
// Frame1 and ProgressBar1.

std::string Form1Window::Text1Value() const { return Text1->text().toStdString(); }

void Form1Window::SetText1(const std::string& text) { Text1->setText(Q(text)); }

bool Form1Window::Option1Value() const { return Option1->isChecked(); }

void Form1Window::SetOption1Value(bool selected) { Option1->setChecked(selected); }

bool Form1Window::Option2Value() const { return Option2->isChecked(); }

void Form1Window::SetOption2Value(bool selected) { Option2->setChecked(selected); }

void Form1Window::SetFrame4Enabled(bool enabled) { Frame4->setEnabled(enabled); }

std::string Form1Window::ProgressText() const { return ProgressBar1->text().toStdString(); }

void Form1Window::SetProgressText(const std::string& text) { ProgressBar1->setText(Q(text)); }

double Form1Window::ProgressValue() const { return ProgressBar1->realValue(); }

void Form1Window::SetProgressValue(double value) { ProgressBar1->setRealValue(value); }
