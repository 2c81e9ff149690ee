// filterhost: loads the filter library by path and drives it through its exports only, the way
// the editor does: registration first, then the operation asked for.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "display_text.h"
#include "interruption.h"
#include "option_values.h"

#ifndef _WIN32
#include <unistd.h>

#include "balance_check.h"
#endif

namespace {

constexpr char kUsage[] =
    "usage: filterhost [--filter PATH] [--verbose] COMMAND  (-- ends the options)\n"
    "  info FILE [--json]              what the filter reports about a file\n"
    "  decode FILE.wma OUT.wav [--pcm24]\n"
    "                                  decode to WAVE (float audio as 24-bit PCM with --pcm24)\n"
    "  encode IN.wav OUT.wma [--options WORD | [--codec NAME] [--bitrate KBPS | --quality N]]\n"
    "                        [--width BITS]\n"
    "                                  encode a WAVE file, with its tags: in the default format,\n"
    "                                  the one a WORD names (decimal or 0x hex, as formats prints\n"
    "                                  it), or a codec's (its short name as formats prints it)\n"
    "                                  at a constant bit rate or a quality, for the input's rate\n"
    "                                  and channels; --width declares another sample width, to\n"
    "                                  see the filter refuse it\n"
    "  options [--word WORD]           run the encoder options dialog and print the word\n"
    "  formats [--json]                every format the options dialog offers, with its word\n"
    "  registration                    print the filter's registration record\n"
    "--verbose writes the runtime's failed calls to stderr as they fail\n";

// The filter library that the build puts beside this program.
std::string DefaultFilterPath() {
#ifdef _WIN32
  return "wmafilter.dll";
#else
  std::vector<char> path(4096);
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
  std::string program =
      length > 0 ? std::string(path.data(), static_cast<std::size_t>(length)) : "";
  const std::size_t slash = program.rfind('/');
  return (slash == std::string::npos ? std::string(".") : program.substr(0, slash)) +
         "/libwmafilter.so";
#endif
}

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

int Help() {
  std::fputs(kUsage, stdout);
  return 0;
}

// Switches on the failure trace of the runtime that the filter loads (runtime/failure_trace.h),
// before the filter is loaded; the filter itself traces nothing.
void TraceFailures() {
#ifdef _WIN32
  SetEnvironmentVariableA("WMAFILTER_TRACE", "1");
#else
  setenv("WMAFILTER_TRACE", "1", 1);
#endif
}

int PrintRegistration(const FilterLibrary& library) {
  const FilterQueryRecord& record = library.registration();
  std::printf("name:       %.24s\n", record.name);
  std::printf("notice:     %.80s\n", record.notice);
  std::printf("extension:  %.4s\n", record.defaultExtension);
  std::printf("flags:      0x%08x\n", static_cast<unsigned>(record.flags));
  std::printf("chunk size: %u\n", static_cast<unsigned>(record.chunkSize));
  return 0;
}

}  // namespace

int ReportError(const std::string& message) {
  std::fprintf(stderr, "filterhost: %s\n", OneLine(message).c_str());
  return 1;
}

namespace {

// What a command prints as its product is checked like any output file: a full disk or a
// closed pipe fails the run, in one line on stderr.
int CheckStandardOutput(int exitCode) {
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return exitCode;
  const int cause = errno;
  ReportError(std::string("standard output: ") +
              (cause != 0 ? std::strerror(cause) : "cannot write"));
  return exitCode != 0 ? exitCode : 1;
}

// Runs the command line; the filter library is unloaded again when this returns. A decode or
// encode writes its product to a file (or, decoding to "-", through its own checked writes):
// its status line is no product, and a line that cannot be printed once the output is in place
// leaves the run the success it was.
int RunCommandLine(int argc, char** argv, bool& productOnStandardOutput) {
  std::string filterPath = DefaultFilterPath();
  std::vector<std::string> words;
  bool json = false;
  DecodeSettings decode;
  DWORD options = 0;
  std::string wordOption;  // --options or --word, when given
  FormatRequest request;
  WORD width = 0;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (optionsEnded || argument.rfind("--", 0) != 0) {
      words.push_back(argument);
    } else if (argument == "--") {
      optionsEnded = true;
    } else if (argument == "--help") {
      productOnStandardOutput = true;
      return Help();
    } else if (argument == "--filter" && i + 1 < argc) {
      filterPath = argv[++i];
    } else if ((argument == "--options" || argument == "--word") && i + 1 < argc) {
      if (!ParseOptionNumber(argv[++i], options))
        return ReportError("not an options word: " + std::string(argv[i]));
      wordOption = argument;
    } else if (argument == "--codec" && i + 1 < argc) {
      request.codec = argv[++i];
    } else if ((argument == "--bitrate" || argument == "--quality") && i + 1 < argc) {
      DWORD value = 0;
      const bool bitRate = argument == "--bitrate";
      if (!ParseOptionNumber(argv[++i], value)) {
        return ReportError(std::string(bitRate ? "not a bit rate in kbps: " : "not a quality: ") +
                           argv[i]);
      }
      (bitRate ? request.kbps : request.quality) = value;
    } else if (argument == "--width" && i + 1 < argc) {
      DWORD bits = 0;
      if (!ParseOptionNumber(argv[++i], bits) || bits == 0 || bits > 0xFFFF)
        return ReportError("not a sample width: " + std::string(argv[i]));
      width = static_cast<WORD>(bits);
    } else if (argument == "--verbose") {
      TraceFailures();
    } else if (argument == "--json") {
      json = true;
    } else if (argument == "--pcm24") {
      decode.packed24 = true;
    } else {
      return Usage();
    }
  }
  if (words.empty()) return Usage();
  const std::string& command = words[0];
  const std::size_t operands = words.size() - 1;
  const bool known =
      (command == "info" && operands == 1) || (command == "decode" && operands == 2) ||
      (command == "encode" && operands == 2) || (command == "options" && operands == 0) ||
      (command == "formats" && operands == 0) || (command == "registration" && operands == 0);
  if (!known) return Usage();
  if (request.kbps && request.quality)
    return ReportError("--bitrate and --quality ask for different modes: give one of them");
  if (!wordOption.empty() && request.given()) {
    return ReportError(wordOption +
                       " with --codec, --bitrate or --quality is ambiguous: the word names a "
                       "format itself");
  }
  productOnStandardOutput = command != "decode" && command != "encode";

  FilterLibrary library;
  std::string error;
  if (!library.Load(filterPath, error)) return ReportError(error);
  if (command == "info") return RunInfo(library, words[1], json);
  if (command == "decode") return RunDecode(library, words[1], words[2], decode);
  if (command == "encode")
    return RunEncode(library, words[1], words[2], EncodeSettings{options, width, request});
  if (command == "options") return RunOptions(library, options);
  if (command == "formats") return RunFormats(json);
  return PrintRegistration(library);
}

}  // namespace

int main(int argc, char** argv) {
#ifndef _WIN32
  // A limit on file sizes is a failed write to report, like a full disk, not a reason to die.
  std::signal(SIGXFSZ, SIG_IGN);
  // So is a closed pipe: the write fails with EPIPE, and the command decides what that means.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  bool productOnStandardOutput = false;
  int exitCode = RunCommandLine(argc, argv, productOnStandardOutput);
  if (productOnStandardOutput) exitCode = CheckStandardOutput(exitCode);
  // A signal noted after the command put its output in place undoes nothing: the output is
  // whole, so the run ends as a success. Interrupted before, the command has already given its
  // scratch file back, and the program ends by the signal.
  if (exitCode != 0) EndIfInterrupted();
#ifdef _WIN32
  return exitCode;
#else
  return CheckBalanceAtExit(exitCode);
#endif
}
