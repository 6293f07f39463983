#include "dialogs/filedialog.h"

#include <fnmatch.h>

#include <algorithm>
#include <cctype>

#include "dialogs/pictureformats.h"

namespace pictavo {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t end = s.find(sep, start);
    parts.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return parts;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// "All images" first, then one entry per format.
std::string BuildFilter(const std::vector<TPVPictureFormat>& formats) {
  std::string all;
  std::string each;
  for (const TPVPictureFormat& f : formats) {
    std::string patterns = PVFormatPatterns(f);
    if (!all.empty()) all += ';';
    all += patterns;
    each += '|' + f.Description + " (" + patterns + ")|" + patterns;
  }
  if (all.empty()) return {};
  return "All images|" + all + each;
}

}  // namespace

std::vector<TPVFilterEntry> PVParseFilter(const std::string& filter) {
  std::vector<TPVFilterEntry> entries;
  if (filter.empty()) return entries;
  std::vector<std::string> parts = Split(filter, '|');
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    TPVFilterEntry e{Trim(parts[i]), {}};
    for (const std::string& p : Split(parts[i + 1], ';')) {
      std::string pattern = Trim(p);
      if (!pattern.empty()) e.Patterns.push_back(pattern);
    }
    if (!e.Patterns.empty()) entries.push_back(std::move(e));
  }
  return entries;
}

bool PVFileMatchesPatterns(const std::string& fileName, const std::vector<std::string>& patterns) {
  size_t slash = fileName.find_last_of('/');
  std::string base = Lower(slash == std::string::npos ? fileName : fileName.substr(slash + 1));
  if (base.empty()) return false;
  return std::any_of(patterns.begin(), patterns.end(), [&](const std::string& p) {
    return fnmatch(Lower(p).c_str(), base.c_str(), FNM_PERIOD) == 0;
  });
}

std::string PVDefaultOpenFilter() {
  return BuildFilter(PVReadableFormats());
}
std::string PVDefaultSaveFilter() {
  return BuildFilter(PVWritableFormats());
}

std::string TPVFileDialog::GetFilter() const {
  return filter_.empty() ? DefaultFilter() : filter_;
}

void TPVFileDialog::SetFilterIndex(int index) {
  int count = static_cast<int>(FilterEntries().size());
  filter_index_ = std::clamp(index, 0, std::max(0, count - 1));
}

std::string TPVFileDialog::GetTitle() const {
  return title_.empty() ? Caption(TitleWord()) : title_;
}

bool TPVFileDialog::Execute() {
  std::string before = file_name_;
  BeforeShow();
  bool accepted = PVRunDialog(*this) && !file_name_.empty() && AcceptResult();
  if (!accepted) file_name_ = before;
  return accepted;
}

}  // namespace pictavo
