// Root reads, writes and lists everything, so permission cases run again as an
// unprivileged user: the test binary re-executes the one test function through
// setpriv, and the root run checks that the child passed.
#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QtTest>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace testing_support {

struct RerunResult {
  bool needed = false;   // we are root: the body ran (or should have run) in a child
  bool skipped = false;  // no way to drop privileges here
  bool passed = false;
  QString output;
};

// `tag` names the data row to run; empty for a function without rows.
inline RerunResult RerunUnprivileged(const char* function, const char* tag) {
  RerunResult result;
  if (::geteuid() != 0) return result;
  result.needed = true;
  const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
  const passwd* user = ::getpwnam("nobody");
  const group* grp = ::getgrnam("nogroup");
  if (grp == nullptr) grp = ::getgrnam("nobody");
  if (setpriv.isEmpty() || user == nullptr || grp == nullptr) {
    result.skipped = true;
    result.output = QStringLiteral("no setpriv or no unprivileged user/group");
    return result;
  }
  const QString name = QString::fromLatin1(function);
  const QString row = QString::fromUtf8(tag == nullptr ? "" : tag);
  QProcess child;
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(setpriv, {QStringLiteral("--reuid=%1").arg(user->pw_uid),
                        QStringLiteral("--regid=%1").arg(grp->gr_gid), QStringLiteral("--clear-groups"),
                        QCoreApplication::applicationFilePath(),
                        row.isEmpty() ? name : name + u':' + row});
  if (!child.waitForFinished(120000)) {
    child.kill();
    child.waitForFinished();
    result.output = QStringLiteral("child did not finish");
    return result;
  }
  result.output = QString::fromLocal8Bit(child.readAll());
  result.passed = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
                  result.output.contains(QRegularExpression(
                      QStringLiteral("PASS   : \\w+::%1\\(%2\\)")
                          .arg(name, QRegularExpression::escape(row))));
  return result;
}

}  // namespace testing_support

// Use first in a test function that needs an unprivileged user. As root it runs the
// same function in a child as "nobody", checks the child passed and returns.
#define RUN_AS_UNPRIVILEGED_USER()                                                        \
  do {                                                                                    \
    const auto rerun =                                                                    \
        testing_support::RerunUnprivileged(QTest::currentTestFunction(),                  \
                                           QTest::currentDataTag());                      \
    if (rerun.skipped) QSKIP(qPrintable(rerun.output));                                   \
    if (rerun.needed) {                                                                   \
      QVERIFY2(rerun.passed, qPrintable(rerun.output));                                   \
      return;                                                                             \
    }                                                                                     \
  } while (false)
