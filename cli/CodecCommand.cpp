// zorellz codec encode|decode --method METHOD INPUT OUTPUT: one raw codec
// stream (no header) from INPUT to OUTPUT, either of which may be "-" for
// standard input or output.  OUTPUT is written beside its final place and
// replaces it only once the whole stream is in; as with the system's copy
// tools, it is flushed to the device only when --sync asks for it.  Standard
// input and output, and pipes and devices, are read and written as the
// stream comes, as the system's stream filters do.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/codec/ZrlUtils.h"
#include "cli/Commands.h"
#include "cli/Progress.h"
#include "cli/Streams.h"
#include "cli/Usage.h"
#include "platform/PendingFile.h"
#include "platform/System.h"
#include "zorellz/codec/ZrlCodec.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/codec/ZrlLZH.h"
#include "zorellz/codec/ZrlLZSS.h"
#include "zorellz/platform/File.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz::cli {
namespace {

enum class TDirection { kEncode, kDecode };

// Takes all `count` bytes of `bytes`, or raises EInOutError.
using TWriteFunc = std::function<void(const std::uint8_t* bytes, std::size_t count)>;

// Runs one stream of a method from `input` to `write`.
using TStreamCoder = void (*)(TLZCodecSet& codecs, TStreamInput& input, const TWriteFunc& write,
                              TDirection direction);

// A stream's size is not known ahead; one that comes through a pipe is
// taken to be large.
bool PipelinePays(const TStreamInput& input, std::int64_t least) {
  return AvailableCores() > 1 && (input.File() == nullptr || input.Size() >= least);
}

// The command's LZSS coder reads and writes the command's files, encoding
// on two threads when there is a core for each.
void CodeLZSS(TLZCodecSet& codecs, TStreamInput& input, const TWriteFunc& write,
              TDirection direction) {
  TLZSSCodec& lzss = codecs.LZSS();
  lzss.SetIOFunctions(
      [&input](std::uint8_t* buffer) {
        return static_cast<std::uint32_t>(input.Read(buffer, kLZSSBufferSize));
      },
      [&write](const std::uint8_t* buffer, std::uint32_t count) {
        write(buffer, count);
        return count;
      });
  if (direction == TDirection::kEncode && PipelinePays(input, kLZSSPipelinedFrom)) {
    lzss.EncodePipelined();
  } else if (direction == TDirection::kEncode) {
    lzss.Encode();
  } else {
    lzss.Decode();
  }
}

// The adaptive Huffman LZ codec works on the files itself, compressing on
// every core when there are several.  A stream that ends before its
// end code fails the command, as does a lack of memory.
std::int64_t CompressLZH(const TStreamInput& input, const TLZHReadFunc& read,
                         const TWriteFunc& write) {
  if (PipelinePays(input, kLZHPipelinedFrom)) return LZHCompressPipelined(read, write);
  return LZHCompress(read, write);
}

void CodeLZH(TLZCodecSet&, TStreamInput& input, const TWriteFunc& write, TDirection direction) {
  const TLZHReadFunc read = [&input](std::uint8_t* buffer, std::size_t count) {
    return input.Read(buffer, count);
  };
  const std::int64_t result = direction == TDirection::kEncode ? CompressLZH(input, read, write)
                                                               : LZHDecompress(read, write);
  if (result == kLZHTruncated) {
    FailCommand(input.Name(), "compressed data ends before its end code");
  }
  if (result == kLZHOutOfMemory) FailCommand(input.Name(), "not enough memory to code it");
}

struct TMethod {
  const char* Name;
  std::uint8_t Level;  // the compression level that prepares its codec
  TStreamCoder Code;
};

const TMethod kMethods[] = {
    {"lzss", 1, CodeLZSS},
    {"lzh", 2, CodeLZH},
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

struct TCodecRequest {
  std::string Direction;
  std::string Method;
  std::string Input;
  std::string Output;
  bool Sync = false;
  TReporting Reporting;
};

// The file that `name` stands for, links followed.  It is replaced by a new
// file, which only makes sense for a regular file (devices and pipes are
// written into instead).
std::filesystem::path OutputTarget(const std::string& name) {
  std::error_code error;
  std::filesystem::path target = std::filesystem::weakly_canonical(name, error);
  if (error) target = name;
  const auto status = std::filesystem::status(target, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    FailCommand(name, "is not a regular file");
  }
  return target;
}

// Codes into a file beside OUTPUT that replaces it once complete; returns
// the bytes written.
std::int64_t CodeToFile(const TCodecRequest& request, const TMethod& method, TLZCodecSet& codecs,
                        TStreamInput& input, TDirection direction) {
  if (input.File() != nullptr && IsSameFile(request.Input, request.Output)) {
    FailCommand(request.Output, "is the input file as well");
  }
  TPendingFile output;
  int error = 0;
  if (!output.Create(OutputTarget(request.Output), &error)) {
    FailCommand(request.Output,
                "cannot create a temporary file beside it: " + std::string(SystemCause(error)));
  }
  output.SetSync(request.Sync);
  std::int64_t written = 0;
  method.Code(
      codecs, input,
      [&](const std::uint8_t* bytes, std::size_t count) {
        output.File().Write(bytes, count);
        written += static_cast<std::int64_t>(count);
      },
      direction);
  if (!output.Commit(&error)) FailCommand(request.Output, SystemCause(error));
  return written;
}

// Codes onto standard output, or into a device or pipe, as the stream
// comes, as a stream filter does: a failure ends the command after what came
// before it.  Returns the bytes written.
std::int64_t CodeToStream(TOutputStream& out, const TMethod& method, TLZCodecSet& codecs,
                          TStreamInput& input, TDirection direction) {
  method.Code(
      codecs, input,
      [&out](const std::uint8_t* bytes, std::size_t count) { out.Write(bytes, count); }, direction);
  out.Flush();
  return out.Size();
}

void RunCodec(const TCodecRequest& request) {
  const TMethod& method = FindMethod(request.Method);
  const bool to_stdout = IsStdStream(request.Output);
  const bool to_stream = to_stdout || IsStreamOutput(request.Output);
  const TDirection direction =
      request.Direction == "encode" ? TDirection::kEncode : TDirection::kDecode;
  if (to_stdout && direction == TDirection::kEncode) RefuseCompressedDataOnTerminal();
  TStreamInput input(request.Input);
  // The command's own coders, released with them on every way out.
  TLZCodecSet codecs;
  if (!codecs.Init(method.Level)) FailCommand(request.Method, LZMessageText(kMsgInitFailed));
  try {
    std::optional<TOutputStream> out;
    if (to_stream) out.emplace(request.Output);
    const std::int64_t written = to_stream ? CodeToStream(*out, method, codecs, input, direction)
                                           : CodeToFile(request, method, codecs, input, direction);
    if (request.Reporting.Verbose) {
      std::FILE* out = ReportStream(TReporting{false, true, to_stdout});
      std::fprintf(out, "%s: %lld -> %lld bytes\n", request.Output.c_str(),
                   static_cast<long long>(input.Size()), static_cast<long long>(written));
    }
  } catch (const EInOutError& failure) {
    const bool writing = failure.ErrorCode == kInOutWriteFailed;
    FailCommand(writing ? request.Output : request.Input, failure.what());
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
  command->add_option("INPUT", request->Input, "File to read, - for standard input")->required();
  command->add_option("OUTPUT", request->Output, "File to write, - for standard output")
      ->required();
  command->add_flag("--sync", request->Sync,
                    "Make OUTPUT durable on the device before the command ends");
  AddReportingOptions(*command, request->Reporting, "Print nothing but errors (the default)",
                      "A line with the sizes read and written");
  command->callback([request] { RunCodec(*request); });
}

}  // namespace zorellz::cli
