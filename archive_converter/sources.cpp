#include "archive_converter/sources.h"

#include <algorithm>
#include <set>

namespace archive_converter {

namespace {

struct Walk {
  const bool flat;
  FileId output;
  std::set<std::string> files;  // resolved paths: hard links stay separate files
  std::set<FileId> folders;
  Collected collected;

  void AddFile(const std::string& path, const std::string& subfolder, const Entry& entry) {
    if (entry.kind == EntryKind::kFile || entry.kind == EntryKind::kOther) {
      const std::string resolved = CanonicalPath(path);
      if (!resolved.empty() && !files.insert(resolved).second) return;
    }
    collected.sources.push_back({path, flat ? "" : subfolder, entry.kind, entry.error, entry.size});
  }

  void AddFolder(const std::string& path, const std::string& subfolder, const Entry& entry) {
    if (entry.id == output) {
      collected.notes.push_back(path + ": the output folder; not searched");
      return;
    }
    if (!folders.insert(entry.id).second) {
      collected.notes.push_back(path + ": a folder already searched (a link loop or a second link); skipped");
      return;
    }
    int error = 0;
    std::vector<std::string> names = ListFolder(path, error);
    if (error != 0) collected.notes.push_back(path + ": cannot list the folder: " + ErrorText(error));
    // A stable order, whatever order the folder lists in.
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string child = path + (path.back() == '/' ? "" : "/") + name;
      const Entry entry = Inspect(child);
      const std::string below = subfolder.empty() ? name : subfolder + "/" + name;
      if (entry.kind == EntryKind::kFolder) {
        AddFolder(child, below, entry);
      } else if (HasMsgExtension(name)) {
        AddFile(child, subfolder, entry);
      }
    }
  }
};

}  // namespace

bool HasMsgExtension(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return tail == ".msg";
}

Collected CollectSources(const std::vector<std::string>& roots, const std::string& output_folder, bool flat) {
  Walk walk{flat, Inspect(output_folder).id, {}, {}, {}};
  for (const std::string& root : roots) {
    const std::string path = AbsolutePath(root);
    const Entry entry = Inspect(path);
    if (entry.kind == EntryKind::kFolder) {
      walk.AddFolder(path, "", entry);
    } else {
      walk.AddFile(path, "", entry);
    }
  }
  return std::move(walk.collected);
}

}  // namespace archive_converter
