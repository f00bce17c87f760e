// One smoke test per real dialog wrapper: the box opens modal with the given
// settings and is closed from a timer, the way a user would close it.
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "face_qt/qt_dialogs.h"

namespace {

// Waits for the modal box of type T, hands it to `act`, which closes it.
template <typename T>
void WhenShown(std::function<void(T*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(0);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
    if (auto* box = qobject_cast<T*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      act(box);
    }
  });
  timer->start();
}

}  // namespace

class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> urls;
 public slots:
  void Open(const QUrl& url) { urls << url; }
};

class QtDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void message_box() {
    QtDialogs dialogs;
    dialogs.SetAppTitle("Mailvane");
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    WhenShown<QMessageBox>([&](QMessageBox* box) {
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      box->button(QMessageBox::Ok)->click();
    });
    dialogs.ShowMessage("Boom\r\nin here\r\rPlease", "Application Error", platform::MessageIcon::kWarning);
    QCOMPARE(title, QStringLiteral("Application Error"));
    QCOMPARE(text, QStringLiteral("Boom\nin here\n\nPlease"));
    QCOMPARE(icon, QMessageBox::Warning);

    WhenShown<QMessageBox>([&](QMessageBox* box) {
      title = box->windowTitle();
      icon = box->icon();
      box->button(QMessageBox::Ok)->click();
    });
    dialogs.ShowMessage("Done.");
    QCOMPARE(title, QStringLiteral("Mailvane"));
    QCOMPARE(icon, QMessageBox::NoIcon);
  }

  void yes_no() {
    QtDialogs dialogs;
    dialogs.SetAppTitle("Mailvane");
    WhenShown<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    QVERIFY(dialogs.AskYesNo("Open the folder?"));
    WhenShown<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::No)->click(); });
    QVERIFY(!dialogs.AskYesNo("Open the folder?"));
  }

  void input_box() {
    QtDialogs dialogs;
    dialogs.SetAppTitle("Mailvane");
    QString preset, title;
    WhenShown<QInputDialog>([&](QInputDialog* box) {
      preset = box->textValue();
      title = box->windowTitle();
      box->setTextValue("txt");
      box->accept();
    });
    QCOMPARE(dialogs.InputBox("Extension?", "msg"), std::string("txt"));
    QCOMPARE(preset, QStringLiteral("msg"));
    QCOMPARE(title, QStringLiteral("Mailvane"));
    WhenShown<QInputDialog>([](QInputDialog* box) { box->reject(); });
    QCOMPARE(dialogs.InputBox("Extension?", "msg"), std::string());
  }

  void pick_folder() {
    QTemporaryDir temp;
    QVERIFY(QDir(temp.path()).mkpath("Out"));
    QtDialogs dialogs;
    QString title, start;
    bool dirs_only = false;
    WhenShown<QFileDialog>([&](QFileDialog* box) {
      title = box->windowTitle();
      start = box->directory().absolutePath();
      dirs_only = box->fileMode() == QFileDialog::Directory && box->testOption(QFileDialog::ShowDirsOnly);
      box->selectFile(temp.path() + "/Out");
      QMetaObject::invokeMethod(box, "accept");
    });
    const QString picked = QString::fromStdString(dialogs.PickFolder("Please select folder:", temp.path().toStdString()));
    QCOMPARE(title, QStringLiteral("Please select folder:"));
    QCOMPARE(start, QDir(temp.path()).absolutePath());
    QVERIFY(dirs_only);
    QCOMPARE(picked, QDir::toNativeSeparators(temp.path() + "/Out"));
    QVERIFY(!picked.endsWith('/'));

    WhenShown<QFileDialog>([](QFileDialog* box) { box->reject(); });
    QCOMPARE(dialogs.PickFolder("Please select folder:", temp.path().toStdString()), std::string());
  }

  void pick_open_files() {
    QTemporaryDir temp;
    QFile file(temp.path() + "/a.msg");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QtDialogs dialogs;
    bool many = false;
    WhenShown<QFileDialog>([&](QFileDialog* box) {
      many = box->fileMode() == QFileDialog::ExistingFiles;
      box->setDirectory(temp.path());
      box->selectFile("a.msg");
      QMetaObject::invokeMethod(box, "accept");
    });
    const std::vector<std::string> picked = dialogs.PickOpenFiles("Add MSG File(s)", "MSG Files (*.msg)");
    QVERIFY(many);
    QCOMPARE(picked, std::vector<std::string>{QDir::toNativeSeparators(temp.path() + "/a.msg").toStdString()});
  }

  void open_folder_and_url() {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "Open");
    QDesktopServices::setUrlHandler("file", &catcher, "Open");
    QtDialogs dialogs;
    dialogs.OpenUrl("https://www.velmora.example/");
    dialogs.OpenFolder("/srv/Samples");
    QDesktopServices::unsetUrlHandler("https");
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(catcher.urls, QList<QUrl>({QUrl("https://www.velmora.example/"),
                                        QUrl::fromLocalFile("/srv/Samples")}));
  }
};

QTEST_MAIN(QtDialogsTest)
#include "qt_dialogs_test.moc"
