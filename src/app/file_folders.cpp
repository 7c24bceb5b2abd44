#include "app/file_folders.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cctype>

namespace halvern {

namespace {

constexpr std::string_view kKeyPrefix = "Folder ";

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool isFolder(const QString& path) {
  const QFileInfo info(path);
  return !path.isEmpty() && info.isAbsolute() && info.isDir();
}

}  // namespace

FileFolders::FileFolders(QString firstFolder) : m_first(std::move(firstFolder)) {}

void FileFolders::load(const std::vector<std::pair<std::string, std::string>>& entries) {
  for (const auto& [key, text] : entries) {
    if (key.size() <= kKeyPrefix.size() || lower(key.substr(0, kKeyPrefix.size())) != "folder ")
      continue;
    const QString folder = QString::fromStdString(text);
    // Only an absolute folder: a relative one would mean the working folder.
    if (!folder.isEmpty() && QFileInfo(folder).isAbsolute())
      m_folders[lower(key.substr(kKeyPrefix.size()))] = QDir::cleanPath(folder);
  }
}

void FileFolders::save(Settings& settings) const {
  for (const auto& [kind, folder] : m_folders)
    SettingsFile::setText(settings, kSection, std::string(kKeyPrefix) + kind, folder.toStdString());
}

QString FileFolders::startFolder(const std::string& kind) const {
  const auto found = m_folders.find(lower(kind));
  if (found != m_folders.end() && isFolder(found->second)) return found->second;
  if (isFolder(m_first)) return QDir::cleanPath(m_first);
  return QDir::homePath();
}

void FileFolders::remember(const std::string& kind, const QString& path,
                           const std::vector<std::string>& alsoFor) {
  const QString folder = QFileInfo(path).absolutePath();
  m_folders[lower(kind)] = folder;
  for (const std::string& member : alsoFor) m_folders[lower(member)] = folder;
}

}  // namespace halvern
