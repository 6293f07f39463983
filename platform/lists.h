// TList (a list of untyped pointers) and TStrings/TStringList of the
// framework stand-in.  TStringList::Text joins lines with CR LF; setting it
// splits at CR LF, LF or CR.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/object.h"

namespace pictavo {

class TStream;

class TList : public TObject {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  int Add(void* item);
  void Insert(int index, void* item);  // raises EListError outside 0..Count
  void Delete(int index);              // raises EListError outside the list
  void* Get(int index) const;          // raises EListError outside the list
  void Put(int index, void* item);
  int IndexOf(const void* item) const;
  int Remove(const void* item);
  void Clear() { items_.clear(); }
  void Exchange(int a, int b);
  void Move(int from, int to);

 private:
  void Check(int index) const;
  std::vector<void*> items_;
};

class TStrings : public TObject {
 public:
  virtual int Count() const = 0;
  virtual std::string Get(int index) const = 0;
  virtual void Put(int index, const std::string& s) = 0;
  virtual void Insert(int index, const std::string& s) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;

  int Add(const std::string& s) { Insert(Count(), s); return Count() - 1; }
  int IndexOf(const std::string& s) const;
  std::string GetText() const;
  void SetText(const std::string& text);
  void Assign(const TStrings& source);
  void AddStrings(const TStrings& source);
  void SaveToStream(TStream& stream) const;
  void LoadFromStream(TStream& stream);  // reads from the position to the end
};

class TStringList : public TStrings {
 public:
  int Count() const override { return static_cast<int>(lines_.size()); }
  std::string Get(int index) const override;
  void Put(int index, const std::string& s) override;
  void Insert(int index, const std::string& s) override;
  void Delete(int index) override;
  void Clear() override { lines_.clear(); }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  void Check(int index) const;
  std::vector<std::string> lines_;
};

}  // namespace pictavo
