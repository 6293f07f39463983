// What the open and save picture dialogs share: the initial folder, the
// file-type filter ("Description|*.a;*.b|Description|*.c", the filter
// notation of the platform's file dialogs), the chosen file name, the title,
// the caption language and the animation flag, plus running the dialog
// through the dialog host.
#pragma once

#include <string>
#include <vector>

#include "dialogs/dialoghost.h"
#include "dialogs/pvwords.h"

namespace pictavo {

struct TPVFilterEntry {
  std::string Description;
  std::vector<std::string> Patterns;  // "*.jpg", "*"
  friend bool operator==(const TPVFilterEntry&, const TPVFilterEntry&) = default;
};

// Splits a filter into its entries.  Patterns are separated by ';' and
// trimmed; an entry without a pattern part, or whose patterns are all empty,
// is dropped.
std::vector<TPVFilterEntry> PVParseFilter(const std::string& filter);
// True when the file name (its last path component) matches one of the
// patterns, ignoring case ('*' and '?' wildcards).
bool PVFileMatchesPatterns(const std::string& fileName, const std::vector<std::string>& patterns);

// The filters offered when the application gives none: first every format
// together, then one entry per format, from the format registry.  The open
// filter lists the formats that can be read, the save filter those that can
// be written, each with the extensions the I/O component accepts.
std::string PVDefaultOpenFilter();
std::string PVDefaultSaveFilter();

class TPVFileDialog : public TPVDialogModel {
 public:
  using TPVDialogModel::TPVDialogModel;

  const std::string& GetInitialDir() const { return initial_dir_; }
  void SetInitialDir(const std::string& dir) { initial_dir_ = dir; }
  // The application's filter; when empty, GetFilter returns the default one.
  std::string GetFilter() const;
  void SetFilter(const std::string& filter) { filter_ = filter; }
  std::vector<TPVFilterEntry> FilterEntries() const { return PVParseFilter(GetFilter()); }
  // 0-based index into FilterEntries, kept within the entries.
  int GetFilterIndex() const { return filter_index_; }
  virtual void SetFilterIndex(int index);
  const std::string& GetFileName() const { return file_name_; }
  virtual void SetFileName(const std::string& name) { file_name_ = name; }
  bool GetAlwaysAnimate() const { return always_animate_; }
  void SetAlwaysAnimate(bool on) { always_animate_ = on; }
  TMsgLanguage GetMsgLanguage() const { return language_; }
  void SetMsgLanguage(TMsgLanguage language) { language_ = language; }
  // The application's title, or the dialog's own caption in its language.
  std::string GetTitle() const;
  void SetTitle(const std::string& title) { title_ = title; }
  // A caption in the dialog's language.
  std::string Caption(TMsgLanguageWords word) const { return pvmsg(word, language_); }

  // Shows the dialog through the host.  True when the user accepted a file;
  // on cancel (or without a host) FileName is what it was before.
  bool Execute();

 protected:
  virtual std::string DefaultFilter() const = 0;
  virtual TMsgLanguageWords TitleWord() const = 0;
  // Prepares the model before the host sees it.
  virtual void BeforeShow() {}
  // Decides, after the host accepted, whether the result stands.
  virtual bool AcceptResult() = 0;

 private:
  std::string initial_dir_;
  std::string filter_;
  int filter_index_ = 0;
  std::string file_name_;
  std::string title_;
  bool always_animate_ = false;
  TMsgLanguage language_ = msSystem;
};

}  // namespace pictavo
