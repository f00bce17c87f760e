// Test doubles for the window's seams: records every box and answers from queues.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <map>
#include <vector>

#include "platform/dialogs.h"

namespace testing_support {

struct ShownMessage {
  std::string text;
  std::string title;  // resolved: the application title when none was given
  platform::MessageIcon icon = platform::MessageIcon::kNone;
  bool yes_no = false;
};

class ScriptedDialogs : public platform::Dialogs {
 public:

  void ShowMessage(const std::string& text, const std::string& title, platform::MessageIcon icon) override {
    messages.push_back({text, TitleOr(title), icon, false});
    if (on_message) on_message(messages.back());
  }
  bool AskYesNo(const std::string& text, const std::string& title) override {
    messages.push_back({text, TitleOr(title), platform::MessageIcon::kNone, true});
    return yes_no_answers.empty() ? false : Take(yes_no_answers);
  }
  std::string InputBox(const std::string& prompt, const std::string& preset, const std::string& title) override {
    input_prompts.push_back({prompt, preset, TitleOr(title)});
    return input_answers.empty() ? std::string() : Take(input_answers);
  }
  std::string PickFolder(const std::string& title, const std::string& start_folder) override {
    folder_requests.push_back({title, start_folder});
    return folder_answers.empty() ? std::string() : Take(folder_answers);
  }
  std::vector<std::string> PickOpenFiles(const std::string& title, const std::string& filter) override {
    file_requests.push_back({title, filter});
    return file_answers.empty() ? std::vector<std::string>() : Take(file_answers);
  }
  void OpenFolder(const std::string& path) override { opened_folders.push_back(path); }
  void OpenUrl(const std::string& url) override { opened_urls.push_back(url); }

  struct InputRequest { std::string prompt, preset, title; };
  struct PickRequest { std::string title, arg; };

  std::vector<ShownMessage> messages;
  std::function<void(const ShownMessage&)> on_message;
  std::vector<InputRequest> input_prompts;
  std::vector<PickRequest> folder_requests;
  std::vector<PickRequest> file_requests;
  std::vector<std::string> opened_folders;
  std::vector<std::string> opened_urls;

  std::deque<bool> yes_no_answers;
  std::deque<std::string> input_answers;
  std::deque<std::string> folder_answers;
  std::deque<std::vector<std::string>> file_answers;

 private:
  template <typename T>
  static T Take(std::deque<T>& queue) {
    T front = std::move(queue.front());
    queue.pop_front();
    return front;
  }
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
