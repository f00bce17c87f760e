#include "conversion/result_files.h"

#include "intake/folder_scan.h"
#include "intake/folder_walk.h"
#include "intake/name_text.h"

namespace conversion {

std::vector<std::string> NewResultNames(const std::string& folder,
                                        const std::unordered_set<std::string>& before) {
  std::vector<std::string> fresh;
  const bool ends_in_separator = folder.ends_with(intake::walk::kSeparator) || folder.ends_with('/');
  const std::string base = ends_in_separator ? folder : folder + intake::walk::kSeparator;
  const intake::WildcardMatcher eml("*.eml");
  for (const std::string& name : FolderEntries(folder)) {
    if (before.contains(name)) continue;
    // A name that is not UTF-8 never matches: it names no file we could list.
    if (!eml.Matches(name)) continue;
    if (!intake::IsExistingFile(base + name)) continue;
    fresh.push_back(name);
  }
  return fresh;
}

}  // namespace conversion
