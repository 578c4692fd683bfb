#include "ACLPaths.h"

#include "ACLDirectives.h"

namespace qacl {

const char kOwnProductConfigFile[] = ".htaccess";

bool IsOwnProductPath(const std::string& virtualPath) { return StartsWithNoCase(virtualPath, "/vesmoro"); }

std::string DirectoryPart(const std::string& path) {
  const std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(0, slash);
}

std::string LastComponent(const std::string& path) {
  const std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(slash + 1);
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (!directory.empty() && directory.back() == '\\') return directory + name;
  return directory + "\\" + name;
}

std::string SectionName(const std::string& virtualPath, bool isDirectory) {
  std::string section = (!virtualPath.empty() && virtualPath[0] == '/') ? virtualPath : "/" + virtualPath;
  if (!isDirectory) {
    const std::size_t slash = section.rfind('/');
    section.erase(slash == 0 ? 1 : slash);
  }
  while (section.size() > 1 && section.back() == '/') section.pop_back();
  return section;
}

std::vector<std::string> ParentSections(const std::string& section) {
  std::vector<std::string> parents;
  for (std::size_t slash = section.find('/', 1); slash != std::string::npos; slash = section.find('/', slash + 1)) {
    parents.push_back(section.substr(0, slash));
  }
  return parents;
}

namespace {

std::string WithoutTrailingBackslash(std::string path) {
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

std::size_t FirstBackslashToRead(const std::string& targetFile, const std::string& applicationRoot,
                                 const std::string& siteRoot) {
  if (!StartsWithNoCase(targetFile, applicationRoot)) return targetFile.rfind('\\');
  std::size_t start = applicationRoot.size();
  if (!applicationRoot.empty() && applicationRoot.back() == '\\') --start;
  if (EqualsNoCase(WithoutTrailingBackslash(applicationRoot), WithoutTrailingBackslash(siteRoot))) ++start;
  return start;
}

}  // namespace

std::vector<std::string> FilesAlongPath(const std::string& targetFile, const std::string& applicationRoot,
                                        const std::string& siteRoot, const std::string& configFileName) {
  std::vector<std::string> files;
  const std::size_t start = FirstBackslashToRead(targetFile, applicationRoot, siteRoot);
  if (start == std::string::npos) return files;
  for (std::size_t slash = targetFile.find('\\', start); slash != std::string::npos;
       slash = targetFile.find('\\', slash + 1)) {
    files.push_back(targetFile.substr(0, slash + 1) + configFileName);
  }
  return files;
}

bool IsSectionStart(const std::string& line, std::string* name) {
  const char* text = SkipSpace(line.c_str());
  if (!StartsWithNoCase(text, "<ACL")) return false;
  if (name) *name = SkipSpace(text + 4);
  return true;
}

bool NamesSection(const std::string& nameText, const std::string& section) {
  if (!StartsWithNoCase(nameText, section)) return false;
  const char next = nameText.c_str()[section.size()];
  return next == '\0' || kTokenDelimiters.Contains(next);
}

bool CSectionRemover::Keep(const std::string& line) {
  std::string name;
  if (IsSectionStart(line, &name)) m_inOldSection = NamesSection(name, m_section);
  return !m_inOldSection;
}

}  // namespace qacl
