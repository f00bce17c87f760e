#include "app/form1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>

#include "app/cursor_file.h"
#include "platform/error_report.h"
#include "platform/path_helpers.h"

namespace {

// Places and sizes are kept in twips, the window's own unit; 15 twips make one
// pixel at 96 dpi, and Qt scales the pixels on screens with more dots.
constexpr int kTwipsPerPixel = 15;

int Px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

void Place(QWidget* widget, int left, int top, int width, int height) {
  widget->setGeometry(Px(left), Px(top), Px(width), Px(height));
}

// A skin file is a style sheet; anything this large is not one.
constexpr qint64 kMaxSkinBytes = 4 << 20;

// Both separators count on every platform: folders come from Qt with '/' and
// from the user or an older store in the Windows form.
bool EndsWithSeparator(const QString& path) {
  return path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'));
}

}  // namespace

Form1::Form1(Form1Deps deps, QWidget* parent)
    : QWidget(parent),
      dialogs_(deps.dialogs),
      pump_(deps.pump),
      random_(deps.random),
      settings_(deps.settings),
      app_folder_(std::move(deps.app_folder)),
      screen_cursor_(deps.screen_cursor),
      end_program_(std::move(deps.end_program)) {
  if (!end_program_) {
    // Closing the window ends the process at once: every setting was written
    // when it changed, and a run in progress is abandoned, not finished (its
    // converter was ended first).
    end_program_ = [] {
      std::fflush(nullptr);
      std::_Exit(0);
    };
  }
  BuildControls();
  ConnectHandlers();
}

Form1::~Form1() = default;

QString Form1::Location(const char* procedure) {
  return platform::ProcedureLocation("Quorvex", "Form1", procedure);
}

void Form1::BuildControls() {
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

void Form1::ConnectHandlers() {
  connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
  connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
  connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
  connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
  connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
  connect(PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
  connect(PushButton9, &QPushButton::clicked, this, &Form1::PushButton9_Click);

  // A click always leaves the clicked option selected (without Qt's exclusive
  // group a second click would clear it) and clears the other one.
  connect(Option1, &QRadioButton::clicked, this, [this] {
    Option1->setChecked(true);
    Option2->setChecked(false);
    Option1_Click();
  });
  connect(Option2, &QRadioButton::clicked, this, [this] {
    Option2->setChecked(true);
    Option1->setChecked(false);
    Option2_Click();
  });
  connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);

  connect(ListView1, &FileListView::KeyDown, this, &Form1::ListView1_KeyDown);
  connect(ListView1, &FileListView::DoubleClicked, this, &Form1::ListView1_DblClick);
  connect(ListView1, &FileListView::ItemClicked, this, &Form1::ListView1_ItemClick);
  connect(ListView1, &FileListView::MouseDown, this, &Form1::ListView1_MouseDown);
  connect(ListView1, &FileListView::MouseMoved, this, &Form1::ListView1_MouseMove);
  connect(ListView1, &FileListView::MouseUp, this, &Form1::ListView1_MouseUp);
  ListView1->drag_over = [this](const QMimeData* data) { return ListView1_OLEDragOver(data); };
  ListView1->drag_drop = [this](const QMimeData* data) { ListView1_OLEDragDrop(data); };
}

// ---------------------------------------------------------------------------
// Start-up and shutdown. Step numbers are the ones the error report names.

void Form1::Form_Load() {
  platform::Guard guard(dialogs_, Location("Form_Load"));
  guard.Step(100, [&] { ApplySkin(); });
  const QString hand_file = QDir(app_folder_).filePath(QStringLiteral("HAND-M.CUR"));
  if (guard.If(102, [&] { return platform::PathExists(hand_file); })) {
    guard.Step(104, [&] { LoadHandPointer(hand_file); });
  }
  guard.Step(106, [&] { OpenHomePageAtRandom(); });
  guard.Step(130, [&] {
    setWindowTitle(QLatin1String(kProductName));
    setWindowIcon(QIcon(QStringLiteral(":/mailvane/mailvane.png")));
    SetAppTitle();
  });
  guard.Step(132, [&] { ListView1->setHeaderLabels({QStringLiteral("MSG File(s)")}); });
  guard.Step(134, [&] { ListView1->setColumnWidth(0, Px(7000)); });
  guard.Step(136, [&] {
    // The default is worked out first, on every start, so a desktop lookup
    // that fails leaves the box alone even when "Text1" is stored.
    const QString desktop = DesktopFolder();
    Text1->setText(settings_.GetSetting(QStringLiteral("Text1"), desktop));
  });
  guard.Step(138, [&] {
    SetOptionValue(Option1, settings_.GetBoolSetting(QStringLiteral("Option1"), true));
  });
  guard.Step(140, [&] {
    SetOptionValue(Option2, settings_.GetBoolSetting(QStringLiteral("Option2"), false));
  });
  if (guard.If(142, [&] { return Option1->isChecked(); })) {
    guard.Step(144, [&] { Frame4->setEnabled(true); });
  } else {
    guard.Step(146, [&] { Frame4->setEnabled(false); });
  }
}

void Form1::closeEvent(QCloseEvent* event) {
  event->accept();
  // A converter left running would write its result after nobody is left to
  // move it, under a generated name.
  running_tool_.End();
  end_program_();
}

void Form1::ApplySkin() {
  const QFileInfo skin(QDir(app_folder_).filePath(QStringLiteral("x/o.cjs")));
  if (!skin.exists() || !skin.isFile() || skin.isHidden()) return;

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
  QFile file(skin.filePath());
  if (!file.open(QIODevice::ReadOnly)) throw platform::Failure("Permission denied");
  if (file.size() > kMaxSkinBytes) throw platform::Failure("Skin file is too large");
  setStyleSheet(QString::fromUtf8(file.readAll()));
}

void Form1::LoadHandPointer(const QString& path) { hand_pointer_ = LoadCursorFile(path); }

void Form1::OpenHomePageAtRandom() {
  if (random_.Draw1To100() == 7) dialogs_.OpenUrl(QLatin1String(kHomePage));
}

QString Form1::AppTitleFor(const QString& product_name) {
  constexpr int kMaxTitle = 40;
  QString title = product_name;
  if (!title.contains(QLatin1Char(' '))) return title.left(kMaxTitle);
  do {
    const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
    if (blank < 0) break;
    title.truncate(blank);
  } while (title.size() > kMaxTitle);
  return title.left(kMaxTitle);
}

void Form1::SetAppTitle() { dialogs_.SetAppTitle(AppTitleFor(QLatin1String(kProductName))); }

QString Form1::DesktopFolder() {
  QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (desktop.isEmpty()) throw platform::Failure("The desktop folder could not be found");
  // The lookup names a desktop folder even where none was ever made (servers,
  // minimal installs, desktops named in another language); offering it would
  // make the first run fail with "Folder does not exist".
  if (!platform::IsFolder(desktop)) desktop = QDir::homePath();
  QString folder = QDir::toNativeSeparators(desktop);
  if (!EndsWithSeparator(folder)) folder += QDir::separator();
  return folder;
}

// ---------------------------------------------------------------------------
// Output destination options.

void Form1::SetOptionValue(QRadioButton* option, bool selected) {
  if (!selected) {
    option->setChecked(false);
    return;
  }
  if (option->isChecked()) return;
  option->setChecked(true);
  QRadioButton* other = option == Option1 ? Option2 : Option1;
  other->setChecked(false);
  if (option == Option1) {
    Option1_Click();
  } else {
    Option2_Click();
  }
}

void Form1::Option1_Click() {
  // These handlers have no error report: a store that cannot be written is
  // left as it is, and the next change writes again.
  try {
    settings_.SaveSetting(QStringLiteral("Option1"), SettingsStore::FromBoolean(Option1->isChecked()));
  } catch (const std::exception&) {
  }
  try {
    settings_.SaveSetting(QStringLiteral("Option2"), SettingsStore::FromBoolean(Option2->isChecked()));
  } catch (const std::exception&) {
  }
  Frame4->setEnabled(Option1->isChecked());
}

void Form1::Option2_Click() { Option1_Click(); }

void Form1::Text1_Change() {
  try {
    settings_.SaveSetting(QStringLiteral("Text1"), Text1->text());
  } catch (const std::exception&) {
  }
}

void Form1::PushButton9_Click() {
  platform::Guard guard(dialogs_, Location("PushButton9_Click"));
  QString last_folder;
  QString picked;
  guard.Step(100, [&] { last_folder = settings_.GetSetting(QStringLiteral("LastFolderDot"), QString()); });
  guard.Step(100, [&] {
    picked = dialogs_.PickFolder(QStringLiteral("Please select folder:"), last_folder);
  });
  if (guard.ExitIf(102, [&] { return picked.isEmpty(); })) return;
  guard.Step(104, [&] {
    last_folder = picked;
    settings_.SaveSetting(QStringLiteral("LastFolderDot"), picked);
  });
  // Setting Text1 runs Text1_Change, which saves "Text1".
  if (guard.If(104, [&] { return !EndsWithSeparator(picked); })) {
    guard.Step(106, [&] { Text1->setText(picked + QDir::separator()); });
  } else {
    guard.Step(108, [&] { Text1->setText(picked); });
  }
}

// ---------------------------------------------------------------------------
// Help.

void Form1::PushButton3_Click() {
  platform::Guard guard(dialogs_, Location("PushButton3_Click"));
  const QString line_break = QStringLiteral("\r\n");
  guard.Step(100, [&] {
    dialogs_.ShowMessage(
        QStringLiteral("EML will not be created if the MSG file does not contain valid email "
                       "address (FROM) or it contains sender's address stored in exchange "
                       "server.") +
        line_break + line_break + QStringLiteral("Questions? Please contact Team Velmora at ") +
        QLatin1String(kContactPage));
  });
  QString text1, text3, text5, text7, text9, paragraph;
  guard.Step(102, [&] { text1 = QStringLiteral("If you are getting a query message that says"); });
  guard.Step(104, [&] { text3 = QStringLiteral("\"Allow access for x minutes Yes No Help\""); });
  guard.Step(106, [&] {
    text5 = QStringLiteral(
        "You may want to deactivate it so that my software can work with Outlook for a longer "
        "period of time.");
  });
  guard.Step(108, [&] {
    text7 = QStringLiteral("To deactivate this query message, look for an option resembling:");
  });
  guard.Step(110, [&] {
    text9 = QStringLiteral("Outlook > Tools > Trust Center > Allow programmatic access");
  });
  guard.Step(112, [&] { const QChar codes[] = {QChar(13), QChar(10), QChar(13), QChar(10)};
    paragraph = QString(codes, 4); });
  guard.Step(114, [&] {
    dialogs_.ShowMessage(text1 + paragraph + text3 + paragraph + text5 + paragraph + text7 +
                         paragraph + text9);
  });
}

// ---------------------------------------------------------------------------
// The file list.

void Form1::AddFileToList(const QString& path) {
  auto* item = new QTreeWidgetItem(ListView1);
  item->setText(0, path);
}

bool Form1::IsPathInList(const QString& path) const {
  const int count = ItemCount();
  for (int i = 1; i <= count; ++i) {
    if (ItemText(i) == path) return true;
  }
  return false;
}

int Form1::ItemCount() const { return ListView1->topLevelItemCount(); }

QString Form1::ItemText(int index1) const {
  const QTreeWidgetItem* item = ListView1->topLevelItem(index1 - 1);
  return item != nullptr ? item->text(0) : QString();
}

QTreeWidgetItem* Form1::SelectedItem() const {
  const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
  return selected.isEmpty() ? nullptr : selected.first();
}

void Form1::RemoveSelectedItem() {
  if (IsBusy()) return;
  if (ItemCount() == 0) return;
  QTreeWidgetItem* item = SelectedItem();
  if (item == nullptr) return;
  delete ListView1->takeTopLevelItem(ListView1->indexOfTopLevelItem(item));
}

void Form1::ListView1_KeyDown(int key, Qt::KeyboardModifiers) {
  // Delete acts whatever Shift, Ctrl and Alt say; other keys are the list's own.
  if (key != Qt::Key_Delete) return;
  RemoveSelectedItem();
}

void Form1::ListView1_DblClick() { RemoveSelectedItem(); }

void Form1::PushButton6_Click() {
  platform::Guard guard(dialogs_, Location("PushButton6_Click"));
  guard.Step(100, [&] {
    if (!IsBusy()) ListView1->clear();
  });
}

void Form1::ListView1_ItemClick(QTreeWidgetItem*) {
  // The drag pointer is read again at every click; a missing or broken file
  // keeps the pointer the list has.
  try {
    ListView1->setCursor(LoadCursorFile(QDir(app_folder_).filePath(QStringLiteral("drag.ico"))));
  } catch (const std::exception&) {
  }
  // The list never starts a drag of its own (FileListView turns it off), so
  // there is no drag mode to switch here.
  drag_item_ = ListView1->ReferenceTo(SelectedItem());
}

void Form1::ListView1_MouseDown(Qt::MouseButton, const QPoint&) { drag_active_ = true; }

void Form1::ListView1_MouseMove(Qt::MouseButtons, const QPoint& pos) {
  ApplyBackgroundPointer();
  if (!drag_active_) return;
  QTreeWidgetItem* hover_item = ListView1->itemAt(pos);
  // A remembered row that was removed since counts as none.
  QTreeWidgetItem* drag_item = ListView1->ItemOf(drag_item_);
  if (hover_item == nullptr || drag_item == nullptr || hover_item->text(0) == drag_item->text(0))
    return;

  const QString kept = drag_item->text(0);
  drag_item->setText(0, hover_item->text(0));
  hover_item->setText(0, kept);
  ListView1->setCurrentItem(hover_item);
  drag_item_ = ListView1->ReferenceTo(hover_item);

  // Scroll at the edges, by the pointer's place on the screen.
  const int index = ListView1->IndexOf(hover_item);
  const int screen_y = screen_cursor_.Position().y();
  if (screen_y < 305 && index >= 2) {
    ListView1->scrollToItem(ListView1->topLevelItem(index - 2));
  } else if (screen_y > 364 && index < ItemCount()) {
    ListView1->scrollToItem(ListView1->topLevelItem(index));
  }
}

void Form1::ListView1_MouseUp(Qt::MouseButton, const QPoint&) {
  drag_active_ = false;
  ListView1->setCursor(Qt::ArrowCursor);
}

// ---------------------------------------------------------------------------
// Pointer rules.

bool Form1::IsBusy() const {
  return testAttribute(Qt::WA_SetCursor) && cursor().shape() == Qt::WaitCursor;
}

void Form1::SetHourglass() { setCursor(Qt::WaitCursor); }

void Form1::SetDefaultPointer() { unsetCursor(); }

void Form1::ApplyBackgroundPointer() {
  if (IsBusy()) return;
  unsetCursor();
}

void Form1::Form_MouseMove() { ApplyBackgroundPointer(); }

void Form1::Frame1_MouseMove() { ApplyBackgroundPointer(); }

void Form1::Frame4_MouseMove() { ApplyBackgroundPointer(); }

void Form1::PushButton_MouseMove() {
  if (IsBusy()) return;
  if (hand_pointer_) {
    setCursor(*hand_pointer_);
  } else {
    unsetCursor();
  }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    // A move that a child passed up (its own moves are ignored by the child)
    // is not a move over the frame itself.
    const bool on_surface = [&] {
      auto* widget = qobject_cast<QWidget*>(watched);
      return widget != nullptr && widget->childAt(mouse->position().toPoint()) == nullptr;
    }();
    if (qobject_cast<QPushButton*>(watched) != nullptr) {
      PushButton_MouseMove();
    } else if (watched == Frame1 && on_surface) {
      Frame1_MouseMove();
    } else if (watched == Frame4 && on_surface) {
      Frame4_MouseMove();
    }
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
  if (childAt(event->position().toPoint()) == nullptr) Form_MouseMove();
  QWidget::mouseMoveEvent(event);
}
