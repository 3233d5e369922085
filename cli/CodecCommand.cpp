// zorellz codec encode|decode --method METHOD INPUT OUTPUT: one raw codec
// stream (no header) from INPUT to OUTPUT.  OUTPUT is written beside its
// final place and replaces it only once the whole stream is in.
#include <sys/stat.h>
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/codec/ZrlCodec.h"
#include "archive/codec/ZrlErrors.h"
#include "archive/codec/ZrlLZSS.h"
#include "cli/Commands.h"
#include "platform/File.h"
#include "platform/InOutError.h"
#include "platform/System.h"

namespace zorellz::cli {
namespace {

enum class TDirection { kEncode, kDecode };

// Runs one stream of a method from `input` to `output`.
using TStreamCoder = void (*)(TFile& input, TFile& output, TDirection direction);

// The LZSS codec reads and writes the command's files while this lives.
class TLZSSFileIO {
 public:
  TLZSSFileIO(TFile& input, TFile& output) {
    LZSSSetIOFunctions(
        [&input](std::uint8_t* buffer) {
          return static_cast<std::uint32_t>(input.Read(buffer, kLZSSBufferSize));
        },
        [&output](const std::uint8_t* buffer, std::uint32_t count) {
          output.Write(buffer, count);
          return count;
        });
  }
  ~TLZSSFileIO() { LZSSSetIOFunctions(nullptr, nullptr); }
  TLZSSFileIO(const TLZSSFileIO&) = delete;
  TLZSSFileIO& operator=(const TLZSSFileIO&) = delete;
};

void CodeLZSS(TFile& input, TFile& output, TDirection direction) {
  TLZSSFileIO io(input, output);
  if (direction == TDirection::kEncode) {
    LZSSEncode();
  } else {
    LZSSDecode();
  }
}

struct TMethod {
  const char* Name;
  std::uint8_t Level;  // the compression level that prepares its codec
  TStreamCoder Code;
};

const TMethod kMethods[] = {
    {"lzss", 1, CodeLZSS},
};

const TMethod& FindMethod(const std::string& name) {
  for (const TMethod& method : kMethods) {
    if (name == method.Name) return method;
  }
  throw CLI::ValidationError("--method", "unknown method " + name);
}

std::vector<std::string> MethodNames() {
  std::vector<std::string> names;
  for (const TMethod& method : kMethods) names.emplace_back(method.Name);
  return names;
}

[[noreturn]] void Fail(const std::string& subject, const std::string& cause) {
  ReportError(subject, cause);
  throw TExitStatus{1};
}

// The codec of one level, prepared for the command and released on every way
// out.
class TCodecScope {
 public:
  explicit TCodecScope(std::uint8_t level) : ready_(LZInitCodec(level)) {}
  ~TCodecScope() { LZDoneCodec(); }
  TCodecScope(const TCodecScope&) = delete;
  TCodecScope& operator=(const TCodecScope&) = delete;
  bool Ready() const { return ready_; }

 private:
  bool ready_;
};

// A new file beside the target that takes the target's place on Commit and
// is removed if it never does.
class TPendingOutput {
 public:
  explicit TPendingOutput(const std::filesystem::path& target) : target_(target) {
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    path_ = CreateUniqueFile(folder, "." + target.filename().string() + ".");
    if (path_.empty()) Fail(target_.string(), "cannot create a temporary file beside it");
    int error = 0;
    if (!file_.Open(path_, TFile::TMode::kCreateTruncate, &error)) {
      Discard();
      Fail(target_.string(), std::strerror(error));
    }
  }
  ~TPendingOutput() {
    if (!committed_) Discard();
  }
  TPendingOutput(const TPendingOutput&) = delete;
  TPendingOutput& operator=(const TPendingOutput&) = delete;

  TFile& File() { return file_; }

  // Raises EInOutError when the data cannot be flushed to the device.
  void Commit() {
    file_.Sync();
    file_.Close();
    chmod(path_.c_str(), PermissionsOfResult());
    if (!ReplaceFileNative(path_, target_)) Fail(target_.string(), std::strerror(errno));
    committed_ = true;
  }

 private:
  // The temporary file is private to its owner; the result keeps the
  // permissions of the file it replaces, or gets those of a new file.
  mode_t PermissionsOfResult() const {
    struct stat target_status;
    if (stat(target_.c_str(), &target_status) == 0) return target_status.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
  }

  void Discard() {
    file_.Close();
    DeleteFileNative(path_);
  }

  std::filesystem::path target_;
  std::filesystem::path path_;
  TFile file_;
  bool committed_ = false;
};

struct TCodecRequest {
  std::string Direction;
  std::string Method;
  std::string Input;
  std::string Output;
};

// The file that `name` stands for, links followed.  It is replaced by a new
// file, which only makes sense for a regular file.
std::filesystem::path OutputTarget(const std::string& name) {
  std::error_code error;
  std::filesystem::path target = std::filesystem::weakly_canonical(name, error);
  if (error) target = name;
  const auto status = std::filesystem::status(target, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    Fail(name, "is not a regular file");
  }
  return target;
}

void RunCodec(const TCodecRequest& request) {
  const TMethod& method = FindMethod(request.Method);
  TFile input;
  int error = 0;
  if (!input.Open(request.Input, TFile::TMode::kReadDenyWrite, &error)) {
    Fail(request.Input, std::strerror(error));
  }
  if (IsSameFile(request.Input, request.Output)) {
    Fail(request.Output, "is the input file as well");
  }
  TCodecScope codec(method.Level);
  if (!codec.Ready()) Fail(request.Method, LZMessageText(kMsgInitFailed));
  TPendingOutput output(OutputTarget(request.Output));
  const TDirection direction =
      request.Direction == "encode" ? TDirection::kEncode : TDirection::kDecode;
  try {
    method.Code(input, output.File(), direction);
    output.Commit();
  } catch (const EInOutError& failure) {
    const bool writing = failure.ErrorCode == kInOutWriteFailed;
    Fail(writing ? request.Output : request.Input, failure.what());
  }
}

}  // namespace

void RegisterCodecCommand(CLI::App& app) {
  auto* command =
      app.add_subcommand("codec", "Encode or decode one raw codec stream (no archive header)");
  auto request = std::make_shared<TCodecRequest>();
  command->add_option("DIRECTION", request->Direction, "encode or decode")
      ->required()
      ->check(CLI::IsMember({"encode", "decode"}));
  command->add_option("--method", request->Method, "Codec")
      ->required()
      ->check(CLI::IsMember(MethodNames()));
  command->add_option("INPUT", request->Input, "File to read")->required();
  command->add_option("OUTPUT", request->Output, "File to write")->required();
  command->callback([request] { RunCodec(*request); });
}

}  // namespace zorellz::cli
