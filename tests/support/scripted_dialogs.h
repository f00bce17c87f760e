// Test doubles for the window's seams: records every box and answers from queues.
#pragma once

#include <QQueue>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

#include "platform/dialogs.h"

namespace testing_support {

struct ShownMessage {
  QString text;
  QString title;  // resolved: the application title when none was given
  platform::MessageIcon icon = platform::MessageIcon::kNone;
  bool yes_no = false;
};

class ScriptedDialogs : public platform::Dialogs {
 public:
  void SetAppTitle(const QString& title) override { app_title_ = title; }
  QString AppTitle() const override { return app_title_; }

  void ShowMessage(const QString& text, const QString& title, platform::MessageIcon icon) override {
    messages.push_back({text, title.isEmpty() ? app_title_ : title, icon, false});
    if (on_message) on_message(messages.back());
  }
  bool AskYesNo(const QString& text, const QString& title) override {
    messages.push_back({text, title.isEmpty() ? app_title_ : title, platform::MessageIcon::kNone, true});
    return yes_no_answers.isEmpty() ? false : yes_no_answers.dequeue();
  }
  QString InputBox(const QString& prompt, const QString& preset, const QString& title) override {
    input_prompts.push_back({prompt, preset, title.isEmpty() ? app_title_ : title});
    return input_answers.isEmpty() ? QString() : input_answers.dequeue();
  }
  QString PickFolder(const QString& title, const QString& start_folder) override {
    folder_requests.push_back({title, start_folder});
    return folder_answers.isEmpty() ? QString() : folder_answers.dequeue();
  }
  QStringList PickOpenFiles(const QString& title, const QString& filter) override {
    file_requests.push_back({title, filter});
    return file_answers.isEmpty() ? QStringList() : file_answers.dequeue();
  }
  void OpenFolder(const QString& path) override { opened_folders.push_back(path); }
  void OpenUrl(const QString& url) override { opened_urls.push_back(url); }

  struct InputRequest { QString prompt, preset, title; };
  struct PickRequest { QString title, arg; };

  std::vector<ShownMessage> messages;
  std::function<void(const ShownMessage&)> on_message;
  std::vector<InputRequest> input_prompts;
  std::vector<PickRequest> folder_requests;
  std::vector<PickRequest> file_requests;
  QStringList opened_folders;
  QStringList opened_urls;

  QQueue<bool> yes_no_answers;
  QQueue<QString> input_answers;
  QQueue<QString> folder_answers;
  QQueue<QStringList> file_answers;

 private:
  QString app_title_;
};

// Counts yields and runs a scripted action on the n-th one (to test re-entrancy).
class ScriptedPump : public platform::EventPump {
 public:
  void Yield() override {
    ++yields;
    auto it = actions.find(yields);
    if (it != actions.end()) {
      auto action = it->second;
      actions.erase(it);
      action();
    }
  }
  int yields = 0;
  std::map<int, std::function<void()>> actions;
};

class FixedRandom : public platform::RandomSource {
 public:
  explicit FixedRandom(int value) : value(value) {}
  int Draw1To100() override { return value; }
  int value;
};

}  // namespace testing_support
