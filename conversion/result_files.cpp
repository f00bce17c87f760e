#include "conversion/result_files.h"

#include "intake/folder_scan.h"
#include "intake/folder_walk.h"
#include "intake/name_text.h"
#include "platform/path_helpers.h"

namespace conversion {

std::string TargetPathFor(const std::string& source_path, const std::string& folder) {
  return platform::CollapseBackslashes(folder + platform::kSeparator +
                                       platform::StripExtension(platform::FileNameOf(source_path)) + ".eml");
}

std::vector<std::string> NewResultNames(const std::string& folder,
                                        const std::unordered_set<std::string>& before) {
  std::vector<std::string> fresh;
  const std::string base = platform::WithTrailingSeparator(folder);
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
