#include "io/pictavoio.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "core/replacefile.h"
#include "formats/codec_table.h"
#include "platform/exceptions.h"

namespace pictavo {

namespace {

constexpr uint8_t kAPP13 = 237;
constexpr int kBlockHeaderSize = 12;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Built-in keys whose description names a reader / a writer.
bool IsBuiltinLoadKey(int32_t key) {
  const TPVFormatDef* def = PVBuiltinFormat(key);
  return def && def->Codec.Read;
}
bool IsBuiltinSaveKey(int32_t key) {
  const TPVFormatDef* def = PVBuiltinFormat(key);
  return def && def->Codec.Write;
}
bool IsMetafileKey(int32_t key) {
  const TPVFormatDef* def = PVBuiltinFormat(key);
  return def && def->Metafile;
}

// Reads up to `count` bytes at the position and seeks back.
int64_t Peek(TStream& stream, uint8_t* buffer, int64_t count) {
  int64_t start = stream.GetPosition();
  int64_t got = stream.Read(buffer, count);
  stream.Seek(start, soBeginning);
  return got;
}

// Bytes from the position to the end of the stream.
int64_t Remaining(TStream& stream) {
  int64_t left = stream.GetSize() - stream.GetPosition();
  return left > 0 ? left : 0;
}

TColor ColorOf(const TRGB& c) {
  return TColor(c.r) | (TColor(c.g) << 8) | (TColor(c.b) << 16);
}

void WriteBlockHeader(TStream& stream, int64_t start, const char tag[4], int64_t length,
                      bool& aborting) {
  uint8_t header[kBlockHeaderSize] = {};
  std::memcpy(header, tag, 4);
  uint32_t len = static_cast<uint32_t>(std::clamp<int64_t>(length, 0, 0xFFFFFFFF));
  for (int i = 0; i < 4; ++i) header[8 + i] = static_cast<uint8_t>(len >> (8 * i));
  int64_t end = stream.GetPosition();
  stream.Seek(start, soBeginning);
  if (stream.Write(header, kBlockHeaderSize) != kBlockHeaderSize) aborting = true;
  stream.Seek(end, soBeginning);
}

// Runs a reader or writer added with PVFileFormatAdd: whatever it throws
// becomes a failure with its message, like the built-in codecs'.
template <class Call>
void CallRegistered(TProgressRec& progress, Call&& call) {
  try {
    call();
  } catch (const std::bad_alloc&) {
    progress.Fail(TPVErrorCode::OutOfMemory, "out of memory");
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::Internal, e.what());
  } catch (...) {
    progress.Fail(TPVErrorCode::Internal, "unknown exception");
  }
}

// Why `name` cannot be opened for reading (called after opening failed).
TPVError OpenFailure(const std::string& name, const std::exception& e) {
  struct stat st;
  if (::stat(name.c_str(), &st) != 0)
    return {PVErrorCodeOfErrno(errno, TPVErrorCode::ReadError), PVErrnoMessage(errno, name)};
  if (S_ISDIR(st.st_mode)) return {TPVErrorCode::NotAFile, name + " is a folder"};
  if (::access(name.c_str(), R_OK) != 0)
    return {PVErrorCodeOfErrno(errno, TPVErrorCode::ReadError), PVErrnoMessage(errno, name)};
  return {TPVErrorCode::ReadError, e.what()};
}

uint32_t BlockLength(const uint8_t* header) {
  return uint32_t(header[8]) | (uint32_t(header[9]) << 8) | (uint32_t(header[10]) << 16) |
         (uint32_t(header[11]) << 24);
}

}  // namespace

std::string PVLowerExtension(const std::string& name) {
  std::string ext = std::filesystem::path(name).extension().string();
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  return Lower(ext);
}

// ---------------------------------------------------------------------------
// Component basics

TPictavoIO::TPictavoIO(TComponent* owner) : TComponent(owner) {
  params_ = std::make_unique<TIOParamsVals>(this);
}

TPictavoIO::~TPictavoIO() {
  DetachTargets();
}

TProgressRec TPictavoIO::MakeProgress() {
  TProgressRec progress;
  if (OnProgress) {
    // A handler that sets Aborting cancels the operation: say so, unless a
    // reason is already known (or the flag was set before it ran).
    progress.ProgressEvent = [this, handler = OnProgress](TObject* Sender, int per) {
      const bool before = Aborting;
      handler(Sender, per);
      if (Aborting && !before) diagnostics_.Fail(TPVErrorCode::Cancelled, "cancelled");
    };
  }
  progress.Sender = this;
  progress.Aborting = &Aborting;
  progress.Diagnostics = &diagnostics_;
  return progress;
}

bool TPictavoIO::BeginOperation(TProgressRec& progress) {
  Aborting = false;
  diagnostics_.Clear();
  progress = MakeProgress();
  return bitmap_ != nullptr;
}

void TPictavoIO::Clear() {
  if (!bitmap_) return;
  TCanvas& canvas = bitmap_->Canvas();
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(GetBackground());
  canvas.FillRect(Rect(0, 0, bitmap_->GetWidth(), bitmap_->GetHeight()));
}

void TPictavoIO::AssignParams(TObject* source) {
  if (auto* io = dynamic_cast<TPictavoIO*>(source)) {
    if (io != this) params_->Assign(io->IOParams());
  } else if (auto* vals = dynamic_cast<TIOParamsVals*>(source)) {
    if (vals != params_.get()) params_->Assign(*vals);
  }
}

void TPictavoIO::ClearLists() {
  params_->IPTC_Info.Clear();
  params_->JPEG_MarkerList.Clear();
}

void TPictavoIO::PrepareTargetForSave() {
  TPixelFormat f = bitmap_->GetPixelFormat();
  if (f != pf24bit && f != pf1bit) bitmap_->SetPixelFormat(pf24bit);
}

// ---------------------------------------------------------------------------
// Codec calls

void TPictavoIO::CodecRead(int32_t key, TStream& stream, TBitmap* bitmap, TProgressRec& progress,
                           bool preview, int64_t blockSize) {
  const TBuiltinCodec* codec = PVBuiltinCodec(key);
  if (!codec || !codec->Read) {
    progress.Fail(TPVErrorCode::Unsupported, "no reader for this format");
    return;
  }
  try {
    codec->Read(stream, bitmap, *params_, progress, preview, blockSize);
  } catch (const std::bad_alloc&) {
    progress.Fail(TPVErrorCode::OutOfMemory, "out of memory");
  } catch (const std::exception& e) {
    // A codec reports through the abort flag; anything escaping it is a failure.
    progress.Fail(TPVErrorCode::Corrupt, e.what());
  } catch (...) {
    progress.Fail(TPVErrorCode::Internal, "unknown exception");
  }
}

void TPictavoIO::CodecWrite(int32_t key, TStream& stream, TProgressRec& progress) {
  const TBuiltinCodec* codec = PVBuiltinCodec(key);
  if (!codec || !codec->Write) {
    progress.Fail(TPVErrorCode::Unsupported, "no writer for this format");
    return;
  }
  try {
    codec->Write(stream, *bitmap_, *params_, progress);
  } catch (const std::bad_alloc&) {
    progress.Fail(TPVErrorCode::OutOfMemory, "out of memory");
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::WriteError, e.what());
  } catch (...) {
    progress.Fail(TPVErrorCode::Internal, "unknown exception");
  }
}

void TPictavoIO::FileRead(int32_t key, TStream& file, TBitmap* bitmap, TProgressRec& progress,
                          bool preview) {
  const TPVFormatDef* def = PVBuiltinFormat(key);
  int64_t block = def && def->FileSizeIsBlock ? file.GetSize() : -1;
  CodecRead(key, file, bitmap, progress, preview, block);
}

void TPictavoIO::StreamRead(int32_t key, TStream& stream, TBitmap* bitmap, TProgressRec& progress,
                            bool preview) {
  uint8_t header[kBlockHeaderSize] = {};
  int64_t start = stream.GetPosition();
  switch (key) {
    case ftTIFF: {
      if (!stream_headers_) break;
      if (stream.Read(header, kBlockHeaderSize) != kBlockHeaderSize ||
          std::memcmp(header, "TIFF", 4) != 0) {
        Aborting = true;
        return;
      }
      int64_t length = std::min<int64_t>(BlockLength(header), Remaining(stream));
      CodecRead(key, stream, bitmap, progress, preview, length);
      stream.Seek(start + kBlockHeaderSize + length, soBeginning);
      return;
    }
    case ftPCX: {
      if (!stream_headers_) {
        CodecRead(key, stream, bitmap, progress, preview, Remaining(stream));
        return;
      }
      if (stream.Read(header, kBlockHeaderSize) != kBlockHeaderSize ||
          std::memcmp(header, "PCX", 3) != 0) {
        Aborting = true;
        return;
      }
      if (std::memcmp(header, "PCX2", 4) == 0) {
        int64_t length = std::min<int64_t>(BlockLength(header), Remaining(stream));
        CodecRead(key, stream, bitmap, progress, preview, length);
        stream.Seek(start + kBlockHeaderSize + length, soBeginning);
      } else {
        // An older 4-byte header: the image follows the tag.
        stream.Seek(start + 4, soBeginning);
        CodecRead(key, stream, bitmap, progress, preview, Remaining(stream));
      }
      return;
    }
    case ftJPEG: {
      // A "JFIF" block header is skipped whatever StreamHeaders says.
      if (stream.Read(header, kBlockHeaderSize) == kBlockHeaderSize &&
          std::memcmp(header, "JFIF", 4) == 0) {
        int64_t length = std::min<int64_t>(BlockLength(header), Remaining(stream));
        CodecRead(key, stream, bitmap, progress, preview, length);
        stream.Seek(start + kBlockHeaderSize + length, soBeginning);
        return;
      }
      stream.Seek(start, soBeginning);
      break;
    }
    default:
      break;
  }
  CodecRead(key, stream, bitmap, progress, preview, -1);
}

void TPictavoIO::StreamWrite(int32_t key, TStream& stream, TProgressRec& progress) {
  const TPVFormatDef* def = PVBuiltinFormat(key);
  const char* tag = def ? def->BlockTag : nullptr;
  if (!stream_headers_ || !tag) {
    CodecWrite(key, stream, progress);
    return;
  }
  int64_t start = stream.GetPosition();
  uint8_t placeholder[kBlockHeaderSize] = {};
  if (stream.Write(placeholder, kBlockHeaderSize) != kBlockHeaderSize) {
    Aborting = true;
    return;
  }
  CodecWrite(key, stream, progress);
  if (key == ftPCX && Aborting) return;
  int64_t length = stream.GetPosition() - start - kBlockHeaderSize;
  WriteBlockHeader(stream, start, tag, length, Aborting);
}

void TPictavoIO::AfterLoad(int32_t key, const std::string& fileName, bool passResolution) {
  params_->FileName = fileName;
  params_->FileType = key;
  if (passResolution) SetViewResolution();
  if (key == ftGIF)
    SetBackground(
        ColorOf(params_->GIF_Transparent ? params_->GIF_TranspColor : params_->GIF_Background));
  if (key == ftJPEG) ParseIPTCMarker();
  Update();
}

void TPictavoIO::ParseIPTCMarker() {
  int index = params_->JPEG_MarkerList.IndexOf(kAPP13);
  if (index < 0) return;
  try {
    params_->IPTC_Info.LoadFromStandardBuffer(params_->JPEG_MarkerList.GetMarkerData(index),
                                              params_->JPEG_MarkerList.GetMarkerLength(index));
  } catch (const std::exception&) {
    params_->IPTC_Info.Clear();  // a malformed block carries no records
  }
}

bool TPictavoIO::StoreIPTCMarker() {
  if (!params_->IPTC_Info.GetUserChanged()) return true;
  std::vector<uint8_t> buffer = params_->IPTC_Info.SaveToStandardBuffer();
  // A marker segment holds at most 65533 payload bytes.
  if (buffer.size() > 65533) return false;
  auto length = static_cast<uint16_t>(buffer.size());
  TPVMarkerList& markers = params_->JPEG_MarkerList;
  int index = markers.IndexOf(kAPP13);
  if (index >= 0)
    markers.SetMarker(index, kAPP13, buffer.data(), length);
  else
    markers.AddMarker(kAPP13, buffer.data(), length);
  return true;
}

// ---------------------------------------------------------------------------
// Built-in loads and saves

std::unique_ptr<TFileStream> TPictavoIO::OpenForLoad(const std::string& name) {
  try {
    return std::make_unique<TFileStream>(name, fmOpenRead | fmShareDenyNone);
  } catch (const EStreamError& e) {
    TPVError why = OpenFailure(name, e);
    Aborting = true;
    diagnostics_.Fail(why.Code, why.Message);
    throw;
  }
}

void TPictavoIO::CheckReadError(const TFileStream& file) {
  if (file.ReadError() == 0) return;
  Aborting = true;
  // The system's reason explains whatever the reader made of the short read.
  diagnostics_.Error = {PVErrorCodeOfErrno(file.ReadError(), TPVErrorCode::ReadError),
                        PVErrnoMessage(file.ReadError(), file.FileName())};
}

bool TPictavoIO::CheckEditable(const std::string& name, TProgressRec& progress) {
  struct stat st;
  TPVError why;
  if (::stat(name.c_str(), &st) != 0)
    why = {PVErrorCodeOfErrno(errno, TPVErrorCode::ReadError), PVErrnoMessage(errno, name)};
  else
    PVCanReplaceFile(name, &why);
  if (why) progress.Fail(why.Code, why.Message);
  return !why;
}

void TPictavoIO::ReplaceFile(const std::string& name, const std::function<bool(TStream&)>& write) {
  TPVError error;
  if (PVReplaceFileWith(name, write, &error)) return;
  Aborting = true;
  // The system's reason (a full disk) explains whatever the writer saw.
  if (error)
    diagnostics_.Error = error;
  else
    diagnostics_.Fail(TPVErrorCode::WriteError, "the image could not be written: " + name);
}

void TPictavoIO::LoadFileBuiltin(int32_t key, const std::string& name) {
  TProgressRec progress;
  if (!BeginOperation(progress)) return;
  std::unique_ptr<TFileStream> file = OpenForLoad(name);
  ClearLists();
  FileRead(key, *file, bitmap_, progress, false);
  CheckReadError(*file);
  AfterLoad(key, name, true);
}

void TPictavoIO::LoadStreamBuiltin(int32_t key, TStream& stream) {
  TProgressRec progress;
  if (!BeginOperation(progress)) return;
  ClearLists();
  StreamRead(key, stream, bitmap_, progress, false);
  const TPVFormatDef* def = PVBuiltinFormat(key);
  bool passResolution = !def || def->StreamLoadSetsResolution;
  AfterLoad(key, std::string(), passResolution);
}

void TPictavoIO::SaveFileBuiltin(int32_t key, const std::string& name) {
  TProgressRec progress;
  if (!BeginOperation(progress)) return;
  PrepareTargetForSave();
  if (key == ftJPEG && !StoreIPTCMarker()) {
    progress.Fail(TPVErrorCode::Unsupported, "the IPTC block does not fit in a JPEG marker");
    return;
  }
  ReplaceFile(name, [&](TStream& file) {
    CodecWrite(key, file, progress);
    return !Aborting;
  });
}

void TPictavoIO::SaveStreamBuiltin(int32_t key, TStream& stream) {
  TProgressRec progress;
  if (!BeginOperation(progress)) return;
  PrepareTargetForSave();
  if (key == ftJPEG && !StoreIPTCMarker()) {
    progress.Fail(TPVErrorCode::Unsupported, "the IPTC block does not fit in a JPEG marker");
    return;
  }
  StreamWrite(key, stream, progress);
}

void TPictavoIO::LoadFromFileTIFF(const std::string& name) {
  LoadFileBuiltin(ftTIFF, name);
}
void TPictavoIO::LoadFromStreamTIFF(TStream& stream) {
  LoadStreamBuiltin(ftTIFF, stream);
}
void TPictavoIO::SaveToFileTIFF(const std::string& name) {
  SaveFileBuiltin(ftTIFF, name);
}
void TPictavoIO::SaveToStreamTIFF(TStream& stream) {
  SaveStreamBuiltin(ftTIFF, stream);
}
void TPictavoIO::LoadFromFileGif(const std::string& name) {
  LoadFileBuiltin(ftGIF, name);
}
void TPictavoIO::LoadFromStreamGif(TStream& stream) {
  LoadStreamBuiltin(ftGIF, stream);
}
void TPictavoIO::SaveToFileGif(const std::string& name) {
  SaveFileBuiltin(ftGIF, name);
}
void TPictavoIO::SaveToStreamGif(TStream& stream) {
  SaveStreamBuiltin(ftGIF, stream);
}
void TPictavoIO::LoadFromFileJpeg(const std::string& name) {
  LoadFileBuiltin(ftJPEG, name);
}
void TPictavoIO::LoadFromStreamJpeg(TStream& stream) {
  LoadStreamBuiltin(ftJPEG, stream);
}
void TPictavoIO::SaveToFileJpeg(const std::string& name) {
  SaveFileBuiltin(ftJPEG, name);
}
void TPictavoIO::SaveToStreamJpeg(TStream& stream) {
  SaveStreamBuiltin(ftJPEG, stream);
}
void TPictavoIO::LoadFromFilePCX(const std::string& name) {
  LoadFileBuiltin(ftPCX, name);
}
void TPictavoIO::LoadFromStreamPCX(TStream& stream) {
  LoadStreamBuiltin(ftPCX, stream);
}
void TPictavoIO::SaveToFilePCX(const std::string& name) {
  SaveFileBuiltin(ftPCX, name);
}
void TPictavoIO::SaveToStreamPCX(TStream& stream) {
  SaveStreamBuiltin(ftPCX, stream);
}
void TPictavoIO::LoadFromFileBMP(const std::string& name) {
  LoadFileBuiltin(ftBMP, name);
}
void TPictavoIO::LoadFromStreamBMP(TStream& stream) {
  LoadStreamBuiltin(ftBMP, stream);
}
void TPictavoIO::SaveToFileBMP(const std::string& name) {
  SaveFileBuiltin(ftBMP, name);
}
void TPictavoIO::SaveToStreamBMP(TStream& stream) {
  SaveStreamBuiltin(ftBMP, stream);
}
void TPictavoIO::LoadFromFileICO(const std::string& name) {
  LoadFileBuiltin(ftICO, name);
}
void TPictavoIO::LoadFromStreamICO(TStream& stream) {
  LoadStreamBuiltin(ftICO, stream);
}
void TPictavoIO::LoadFromFileCUR(const std::string& name) {
  LoadFileBuiltin(ftCUR, name);
}
void TPictavoIO::LoadFromStreamCUR(TStream& stream) {
  LoadStreamBuiltin(ftCUR, stream);
}
void TPictavoIO::LoadFromFilePNG(const std::string& name) {
  LoadFileBuiltin(ftPNG, name);
}
void TPictavoIO::LoadFromStreamPNG(TStream& stream) {
  LoadStreamBuiltin(ftPNG, stream);
}
void TPictavoIO::SaveToFilePNG(const std::string& name) {
  SaveFileBuiltin(ftPNG, name);
}
void TPictavoIO::SaveToStreamPNG(TStream& stream) {
  SaveStreamBuiltin(ftPNG, stream);
}
void TPictavoIO::LoadFromFileTGA(const std::string& name) {
  LoadFileBuiltin(ftTGA, name);
}
void TPictavoIO::LoadFromStreamTGA(TStream& stream) {
  LoadStreamBuiltin(ftTGA, stream);
}
void TPictavoIO::SaveToFileTGA(const std::string& name) {
  SaveFileBuiltin(ftTGA, name);
}
void TPictavoIO::SaveToStreamTGA(TStream& stream) {
  SaveStreamBuiltin(ftTGA, stream);
}
void TPictavoIO::LoadFromFilePXM(const std::string& name) {
  LoadFileBuiltin(ftPXM, name);
}
void TPictavoIO::LoadFromStreamPXM(TStream& stream) {
  LoadStreamBuiltin(ftPXM, stream);
}
void TPictavoIO::SaveToFilePXM(const std::string& name) {
  SaveFileBuiltin(ftPXM, name);
}
void TPictavoIO::SaveToStreamPXM(TStream& stream) {
  SaveStreamBuiltin(ftPXM, stream);
}

// ---------------------------------------------------------------------------
// Dispatch

void TPictavoIO::LoadFileRegistry(const TPVFileFormatInfo* info, const std::string& name) {
  TProgressRec progress;
  if (!BeginOperation(progress)) return;
  params_->FileName.clear();
  params_->FileType = 0;
  ClearLists();
  if (!info || !info->ReadFunction) {
    progress.Fail(TPVErrorCode::UnknownFormat,
                  "no reader for the extension \"" + PVLowerExtension(name) + "\": " + name);
    return;
  }
  std::unique_ptr<TFileStream> file = OpenForLoad(name);
  CallRegistered(progress, [&] { info->ReadFunction(*file, *bitmap_, *params_, progress, false); });
  CheckReadError(*file);
  params_->FileName = name;
  params_->FileType = info->FileType;
  SetViewResolution();
  Update();
}

void TPictavoIO::LoadStreamRegistry(const TPVFileFormatInfo* info, int32_t key, TStream& stream) {
  TProgressRec progress;
  if (!BeginOperation(progress)) return;
  params_->FileName.clear();
  params_->FileType = 0;
  ClearLists();
  if (!info || !info->ReadFunction) {
    if (key == 0)
      progress.Fail(TPVErrorCode::UnknownFormat, "not an image of any known format");
    else
      progress.Fail(TPVErrorCode::Unsupported, "no reader for file type " + std::to_string(key));
    return;
  }
  CallRegistered(progress,
                 [&] { info->ReadFunction(stream, *bitmap_, *params_, progress, false); });
  params_->FileType = key;
  SetViewResolution();
  Update();
}

void TPictavoIO::LoadFromFile(const std::string& name) {
  Aborting = false;
  diagnostics_.Clear();
  if (!bitmap_ || name.empty()) return;
  std::string ext = PVLowerExtension(name);
  int32_t key = PVBuiltinKeyOfExtension(ext, pvExtLoad);
  if (IsMetafileKey(key))
    ImportMetafile(name, -1, -1);
  else if (key != 0)
    LoadFileBuiltin(key, name);
  else
    LoadFileRegistry(PVFileFormatGetInfo2(ext), name);
}

void TPictavoIO::LoadFromFileFormat(const std::string& name, int32_t fileType) {
  if (IsBuiltinLoadKey(fileType))
    LoadFileBuiltin(fileType, name);
  else if (IsMetafileKey(fileType))
    ImportMetafile(name, -1, -1);
  else
    LoadFileRegistry(PVFileFormatGetInfo(fileType), name);
}

void TPictavoIO::LoadFromStream(TStream& stream) {
  int64_t position = stream.GetPosition();
  int32_t key = FindStreamFormat(stream);
  stream.Seek(position, soBeginning);
  LoadFromStreamFormat(stream, key);
}

void TPictavoIO::LoadFromStreamFormat(TStream& stream, int32_t fileType) {
  if (IsBuiltinLoadKey(fileType))
    LoadStreamBuiltin(fileType, stream);
  else
    LoadStreamRegistry(PVFileFormatGetInfo(fileType), fileType, stream);
}

void TPictavoIO::SaveToFile(const std::string& name) {
  Aborting = false;
  diagnostics_.Clear();
  if (name.empty()) return;
  std::string ext = PVLowerExtension(name);
  int32_t key = PVBuiltinKeyOfExtension(ext, pvExtSave);
  if (key != 0) {
    SaveFileBuiltin(key, name);
    return;
  }
  TProgressRec progress;
  if (!BeginOperation(progress)) return;
  const TPVFileFormatInfo* info = PVFileFormatGetInfo2(ext);
  if (!info || !info->WriteFunction) {
    progress.Fail(TPVErrorCode::Unsupported,
                  "no writer for the extension \"" + ext + "\": " + name);
    return;
  }
  ReplaceFile(name, [&](TStream& file) {
    CallRegistered(progress, [&] { info->WriteFunction(file, *bitmap_, *params_, progress); });
    return !Aborting;
  });
}

void TPictavoIO::SaveToStream(TStream& stream, int32_t fileType) {
  if (IsBuiltinSaveKey(fileType)) {
    SaveStreamBuiltin(fileType, stream);
    return;
  }
  TProgressRec progress;
  if (!BeginOperation(progress)) return;
  const TPVFileFormatInfo* info = PVFileFormatGetInfo(fileType);
  if (!info || !info->WriteFunction) {
    progress.Fail(TPVErrorCode::Unsupported, "no writer for file type " + std::to_string(fileType));
    return;
  }
  CallRegistered(progress, [&] { info->WriteFunction(stream, *bitmap_, *params_, progress); });
}

// ---------------------------------------------------------------------------
// Parameters only

void TPictavoIO::ParamsFromFile(const std::string& name) {
  try {
    ParamsFromFileFormat(name, FindFileFormat(name, true));
  } catch (const std::exception&) {
    params_->FileType = 0;
  }
}

// Reads only the parameters of `fileType` from the stream (a file's stream
// when fromFile); the target bitmap is not touched.  Failures leave FileType 0.
void TPictavoIO::ReadParamsOnly(TStream& stream, int32_t fileType, bool fromFile) {
  params_->FileType = fileType;
  ClearLists();
  Aborting = false;
  diagnostics_.Clear();
  TProgressRec progress;
  progress.Sender = this;
  progress.Aborting = &Aborting;
  progress.Diagnostics = &diagnostics_;
  try {
    if (IsBuiltinLoadKey(fileType)) {
      if (fromFile)
        FileRead(fileType, stream, nullptr, progress, true);
      else
        StreamRead(fileType, stream, nullptr, progress, true);
      if (fileType == ftJPEG) ParseIPTCMarker();
    } else {
      const TPVFileFormatInfo* info = PVFileFormatGetInfo(fileType);
      if (info && info->ReadFunction) {
        TBitmap scratch;
        CallRegistered(progress,
                       [&] { info->ReadFunction(stream, scratch, *params_, progress, true); });
      } else {
        progress.Fail(TPVErrorCode::UnknownFormat, "not an image of any known format");
      }
    }
  } catch (const std::exception&) {
    Aborting = true;
  }
  params_->FileType = Aborting ? 0 : fileType;
}

void TPictavoIO::ParamsFromFileFormat(const std::string& name, int32_t fileType) {
  diagnostics_.Clear();
  try {
    TFileStream file(name, fmOpenRead | fmShareDenyWrite);
    ReadParamsOnly(file, fileType, true);
  } catch (const std::exception& e) {  // the file cannot be opened
    TPVError why = OpenFailure(name, e);
    diagnostics_.Fail(why.Code, why.Message);
    ClearLists();
    Aborting = true;
    params_->FileType = 0;
  }
  params_->FileName = name;
}

void TPictavoIO::ParamsFromStream(TStream& stream) {
  try {
    int64_t position = stream.GetPosition();
    int32_t key = FindStreamFormat(stream);
    stream.Seek(position, soBeginning);
    ParamsFromStreamFormat(stream, key);
  } catch (const std::exception&) {
    params_->FileType = 0;
  }
}

void TPictavoIO::ParamsFromStreamFormat(TStream& stream, int32_t fileType) {
  ReadParamsOnly(stream, fileType, false);
  params_->FileName.clear();
}

// ---------------------------------------------------------------------------
// Detection

namespace {

struct RankedSignature {
  const TPVSignature* signature;
  int32_t key;
};

// The content tests of every built-in format, in rank order.
const std::vector<RankedSignature>& BuiltinSignatures() {
  static const std::vector<RankedSignature> all = [] {
    std::vector<RankedSignature> list;
    for (const TPVFormatDef* def : PVBuiltinFormats())
      for (const TPVSignature& signature : def->Signatures)
        list.push_back({&signature, def->FileType});
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
      return a.signature->Rank < b.signature->Rank;
    });
    return list;
  }();
  return all;
}

// The registry's detectors, in registry order.
int32_t TryRegistryDetectors(TStream& stream, int64_t start) {
  for (int i = 0; i < PVFileFormatCount(); ++i) {
    const TPVFileFormatInfo* info = PVFileFormatAt(i);
    if (!info || !info->TryFunction) continue;
    stream.Seek(start, soBeginning);
    if (info->TryFunction(stream)) return info->FileType;
  }
  return 0;
}

// `size` counts from the start: bytes that are not there cannot match.
bool SignatureMatches(TStream& stream, int64_t start, const RankedSignature& test,
                      const uint8_t* head, int64_t size) {
  if (size <= test.signature->MinSize) return false;
  if (test.signature->Match) return test.signature->Match(head);
  const TBuiltinCodec* codec = PVBuiltinCodec(test.key);
  if (!codec || !codec->Try) return false;
  stream.Seek(start, soBeginning);
  return codec->Try(stream);
}

}  // namespace

int32_t FindStreamFormat(TStream& stream) {
  int64_t start = 0;
  try {
    start = stream.GetPosition();
  } catch (const std::exception&) {
    return 0;
  }
  int32_t result = 0;
  try {
    result = TryRegistryDetectors(stream, start);
    stream.Seek(start, soBeginning);
    const int64_t size = Remaining(stream);
    uint8_t head[kPVSignatureHead] = {};
    Peek(stream, head, sizeof head);
    for (const RankedSignature& test : BuiltinSignatures()) {
      if (result != 0) break;
      if (SignatureMatches(stream, start, test, head, size)) result = test.key;
    }
  } catch (const std::exception&) {
    // The tests end with what was found so far.
  }
  try {
    stream.Seek(start, soBeginning);
  } catch (const std::exception&) {
  }
  return result;
}

int32_t FindFileFormat(const std::string& name, bool verify) {
  int32_t key = 0;
  try {
    TFileStream file(name, fmOpenRead | fmShareDenyWrite);
    key = FindStreamFormat(file);
  } catch (const std::exception&) {
    return 0;
  }
  if (!verify || key == 0) return key;
  std::string ext = PVLowerExtension(name);
  for (int i = 0; i < PVFileFormatCount(); ++i) {
    const TPVFileFormatInfo* info = PVFileFormatAt(i);
    if (!info || info->FileType != key) continue;
    // Compare against every extension of this entry.
    std::string list = Lower(info->Extensions);
    size_t pos = 0;
    while (pos <= list.size()) {
      size_t end = list.find(';', pos);
      if (end == std::string::npos) end = list.size();
      if (!ext.empty() && list.compare(pos, end - pos, ext) == 0 && end - pos == ext.size())
        return key;
      pos = end + 1;
    }
  }
  return 0;
}

}  // namespace pictavo
