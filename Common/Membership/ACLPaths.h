// Where the access settings of a target come from: section names of the
// single access file, the files read along a path in per-directory mode,
// and the copy of a single access file without one of its sections.
#pragma once

#include <string>
#include <vector>

namespace qacl {

// Per-directory file name of the product's own pages, whatever the mode.
extern const char kOwnProductConfigFile[];

// Virtual paths below "/vesmoro" (any case) are the product's own pages.
bool IsOwnProductPath(const std::string& virtualPath);

// Everything before the last backslash, or the whole path when it has none.
std::string DirectoryPart(const std::string& path);
// After the last backslash, or empty when there is none.
std::string LastComponent(const std::string& path);
// `directory`, a backslash unless it ends with one, and `name`.
std::string JoinPath(const std::string& directory, const std::string& name);

// The section of a target: the virtual path with a leading "/", cut at its
// last "/" for a file. Directory sections are named without a trailing "/"
// ("/a/b", never "/a/b/"); "/" is the root section. Loading and saving both
// name sections this way.
std::string SectionName(const std::string& virtualPath, bool isDirectory);

// The sections read between "/" and `section` (both excluded), top down:
// "/a" and "/a/b" for "/a/b/c".
std::vector<std::string> ParentSections(const std::string& section);

// The per-directory files read below the site root's own file, top down and
// the target's own file last: one per backslash of `targetFile` from the
// application root on (the site root's file is not repeated when the
// application root is the site root; a target outside the application root
// reads only its own file).
std::vector<std::string> FilesAlongPath(const std::string& targetFile, const std::string& applicationRoot,
                                        const std::string& siteRoot, const std::string& configFileName);

// Decides, line by line, which lines of a single access file survive when
// the section `section` is replaced: the old section runs from its "<ACL"
// line up to the next section start of another name, so its closing line and
// the blank lines and comments after it go too.
class CSectionRemover {
 public:
  explicit CSectionRemover(std::string section) : m_section(std::move(section)) {}
  // `line` without its CR/LF.
  bool Keep(const std::string& line);

 private:
  std::string m_section;
  bool m_inOldSection = false;
};

// Whether `line` starts a section ("<ACL" after leading white space, any
// case); `name` then receives the text after "<ACL" and white space.
bool IsSectionStart(const std::string& line, std::string* name);
// Whether the name text of a section start names `section`: it begins with
// it (any case) followed by a delimiter or the end.
bool NamesSection(const std::string& nameText, const std::string& section);

}  // namespace qacl
