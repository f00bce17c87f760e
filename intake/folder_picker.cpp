#include "intake/folder_picker.h"

namespace intake {

QString BrowseForFolder(platform::Dialogs& dialogs, const QString& title,
                        const QString& start_folder) {
  QString chosen = dialogs.PickFolder(title, start_folder);
  const qsizetype nul = chosen.indexOf(QChar(u'\0'));
  if (nul >= 0) chosen.truncate(nul);
  while (chosen.size() > 1 && chosen.endsWith(u'/')) chosen.chop(1);
  return chosen;
}

}  // namespace intake
