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

#include "face_qt/cursor_file.h"

namespace {

// Places and sizes are kept in twips, the window's own unit; 15 twips make one
// pixel at 96 dpi, and Qt scales the pixels on screens with more dots.
constexpr int kTwipsPerPixel = 15;

int Px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

void Place(QWidget* widget, int left, int top, int width, int height) {
  widget->setGeometry(Px(left), Px(top), Px(width), Px(height));
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

int ButtonBits(Qt::MouseButtons buttons) {
  return (buttons & Qt::LeftButton ? window::kLeftButton : 0) |
         (buttons & Qt::RightButton ? window::kRightButton : 0) |
         (buttons & Qt::MiddleButton ? window::kMiddleButton : 0);
}

}  // namespace

Form1Window::Form1Window(Form1WindowDeps deps, QWidget* parent) : QWidget(parent) {
  BuildControls();
  form_ = std::make_unique<window::Form1>(window::FormDeps{.face = *this,
                                                           .dialogs = deps.dialogs,
                                                           .pump = deps.pump,
                                                           .random = deps.random,
                                                           .settings = deps.settings,
                                                           .app_folder = std::move(deps.app_folder),
                                                           .end_program = std::move(deps.end_program)});
  ConnectHandlers();
}

Form1Window::~Form1Window() = default;

void Form1Window::BuildControls() {
  setObjectName(QStringLiteral("Form1"));
  QFont window_font(QStringLiteral("Arial"));
  window_font.setPointSizeF(9);
  window_font.setBold(true);
  setFont(window_font);
  QFont button_font(QStringLiteral("Arial"));
  button_font.setPointSizeF(11.25);
  button_font.setBold(true);

  setFixedSize(Px(8040), Px(7245));
  setMouseTracking(true);

  auto make_button = [&](QWidget* container, const char* name, const QString& text) {
    auto* button = new QPushButton(text, container);
    button->setObjectName(QLatin1String(name));
    button->setFont(button_font);
    button->setMouseTracking(true);
    button->installEventFilter(this);
    return button;
  };

  PushButton3 = make_button(this, "PushButton3", QStringLiteral("Help"));
  Place(PushButton3, 120, 120, 7800, 405);

  ListView1 = new FileListView(this);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  ListView1->setFont(window_font);
  ListView1->setToolTip(QStringLiteral(
      "Drag and drop files here. Double-click item to remove it. Move | line to right and out "
      "of window to reveal full names."));
  ListView1->setHeaderHidden(false);
  Place(ListView1, 120, 630, 7800, 2535);

  PushButton1 = make_button(this, "PushButton1", QStringLiteral("Add MSG File(s)"));
  Place(PushButton1, 120, 3255, 3840, 405);
  PushButton4 = make_button(this, "PushButton4", QStringLiteral("Add All MSG File(s) In Folder"));
  Place(PushButton4, 4080, 3255, 3840, 405);
  PushButton6 = make_button(this, "PushButton6", QStringLiteral("Clear List"));
  Place(PushButton6, 120, 3765, 3840, 405);
  PushButton7 = make_button(this, "PushButton7", QStringLiteral("Load Sample/Example Files"));
  Place(PushButton7, 4080, 3765, 3840, 405);

  Frame1 = new QGroupBox(QStringLiteral("Save Option"), this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  Frame1->setMouseTracking(true);
  Frame1->installEventFilter(this);
  Place(Frame1, 120, 4240, 7800, 1815);

  // The two options form one group, kept exclusive by hand: start-up may
  // restore both of them cleared, which Qt's exclusive groups do not allow.
  Option1 = new QRadioButton(QStringLiteral("Save results to this folder:"), Frame1);
  Option1->setObjectName(QStringLiteral("Option1"));
  Option1->setAutoExclusive(false);
  Option1->setChecked(true);
  Place(Option1, 240, 300, 3615, 255);

  Frame4 = new QGroupBox(Frame1);
  Frame4->setObjectName(QStringLiteral("Frame4"));
  Frame4->setMouseTracking(true);
  Frame4->installEventFilter(this);
  Place(Frame4, 480, 510, 6840, 810);

  Text1 = new QLineEdit(Frame4);
  Text1->setObjectName(QStringLiteral("Text1"));
  Place(Text1, 240, 300, 5670, 345);
  PushButton9 = make_button(Frame4, "PushButton9", QStringLiteral("..."));
  Place(PushButton9, 6000, 300, 600, 345);

  Option2 = new QRadioButton(QStringLiteral("Save results in folder of original file"), Frame1);
  Option2->setObjectName(QStringLiteral("Option2"));
  Option2->setAutoExclusive(false);
  Place(Option2, 240, 1410, 3615, 255);

  PushButton2 = make_button(this, "PushButton2", QStringLiteral("Start Converting"));
  Place(PushButton2, 120, 6180, 7800, 405);

  ProgressBar1 = new ProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setText(QStringLiteral("Progress Bar"));
  Place(ProgressBar1, 120, 6700, 7800, 405);
}

void Form1Window::ConnectHandlers() {
  window::Form1* form = form_.get();
  connect(PushButton1, &QPushButton::clicked, this, [form] { form->PushButton1_Click(); });
  connect(PushButton2, &QPushButton::clicked, this, [form] { form->PushButton2_Click(); });
  connect(PushButton3, &QPushButton::clicked, this, [form] { form->PushButton3_Click(); });
  connect(PushButton4, &QPushButton::clicked, this, [form] { form->PushButton4_Click(); });
  connect(PushButton6, &QPushButton::clicked, this, [form] { form->PushButton6_Click(); });
  connect(PushButton7, &QPushButton::clicked, this, [form] { form->PushButton7_Click(); });
  connect(PushButton9, &QPushButton::clicked, this, [form] { form->PushButton9_Click(); });

  // A click always leaves the clicked option selected (without Qt's exclusive
  // group a second click would clear it) and clears the other one.
  connect(Option1, &QRadioButton::clicked, this, [this, form] {
    Option1->setChecked(true);
    Option2->setChecked(false);
    form->Option1_Click();
  });
  connect(Option2, &QRadioButton::clicked, this, [this, form] {
    Option2->setChecked(true);
    Option1->setChecked(false);
    form->Option2_Click();
  });
  connect(Text1, &QLineEdit::textChanged, this, [form] { form->Text1_Change(); });

  connect(ListView1, &FileListView::KeyDown, this, [form](int key, Qt::KeyboardModifiers modifiers) {
    const int shift = (modifiers & Qt::ShiftModifier ? window::kShift : 0) |
                      (modifiers & Qt::ControlModifier ? window::kCtrl : 0) |
                      (modifiers & Qt::AltModifier ? window::kAlt : 0);
    // Delete is the one key the list's handler acts on.
    form->ListView1_KeyDown(key == Qt::Key_Delete ? window::kKeyDelete : 0, shift);
  });
  connect(ListView1, &FileListView::DoubleClicked, this, [form] { form->ListView1_DblClick(); });
  connect(ListView1, &FileListView::ItemClicked, this, [form] { form->ListView1_ItemClick(); });
  connect(ListView1, &FileListView::MouseDown, this, [form](Qt::MouseButton button, const QPoint& pos) {
    form->ListView1_MouseDown(ButtonBits(button), pos.x(), pos.y());
  });
  connect(ListView1, &FileListView::MouseMoved, this, [form](Qt::MouseButtons buttons, const QPoint& pos) {
    form->ListView1_MouseMove(ButtonBits(buttons), pos.x(), pos.y());
  });
  connect(ListView1, &FileListView::MouseUp, this, [form](Qt::MouseButton button, const QPoint& pos) {
    form->ListView1_MouseUp(ButtonBits(button), pos.x(), pos.y());
  });
  ListView1->drag_over = [form](const QMimeData* data) { return form->ListView1_OLEDragOver(LocalPaths(data)); };
  ListView1->drag_drop = [form](const QMimeData* data) { form->ListView1_OLEDragDrop(LocalPaths(data)); };
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
  form_->Form_Unload();
}

// ---------------------------------------------------------------------------
// Pointers.

void Form1Window::LoadHandPointer(const std::string& file) { hand_pointer_ = LoadCursorFile(Q(file)); }

void Form1Window::SetFormPointer(window::Pointer pointer) {
  pointer_ = pointer;
  if (pointer == window::Pointer::kHourglass) {
    setCursor(Qt::WaitCursor);
  } else if (pointer == window::Pointer::kHand && hand_pointer_) {
    setCursor(*hand_pointer_);
  } else {
    unsetCursor();
  }
}

window::Pointer Form1Window::FormPointer() const { return pointer_; }

void Form1Window::SetListPointerFromFile(const std::string& file) {
  ListView1->setCursor(LoadCursorFile(Q(file)));
}

void Form1Window::SetListArrowPointer() { ListView1->setCursor(Qt::ArrowCursor); }

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
