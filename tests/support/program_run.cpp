#include "support/program_run.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace test_support {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

std::string ReadAll(int fd) {
  std::string text;
  char chunk[4096];
  lseek(fd, 0, SEEK_SET);
  for (ssize_t got; (got = read(fd, chunk, sizeof(chunk))) > 0;)
    text.append(chunk, static_cast<std::size_t>(got));
  return text;
}

// In a child process: from root to the user nobody, for whom file permissions hold.
bool BecomeNobody() {
  return geteuid() != 0 ||
         (setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0);
}

// An anonymous file for one of the program's output streams.
int CaptureFile() {
  FILE* file = std::tmpfile();
  if (file == nullptr) throw std::system_error(errno, std::generic_category(), "tmpfile");
  const int fd = dup(fileno(file));
  std::fclose(file);
  return fd;
}

}  // namespace

ProgramRun RunProgram(const std::vector<std::string>& arguments, bool unprivileged,
                      int standardOutput) {
  return StartedProgram(arguments, unprivileged, standardOutput).Wait();
}

StartedProgram::StartedProgram(const std::vector<std::string>& arguments, bool unprivileged,
                               int standardOutput) {
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  out_ = CaptureFile();
  err_ = CaptureFile();

  const pid_t child = fork();
  if (child == 0) {
    const int nothing = open("/dev/null", O_RDONLY);
    dup2(nothing, STDIN_FILENO);
    dup2(standardOutput >= 0 ? standardOutput : out_, STDOUT_FILENO);
    dup2(err_, STDERR_FILENO);
    if (unprivileged && !BecomeNobody()) _exit(126);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  pid_ = child;
}

StartedProgram::~StartedProgram() {
  if (out_ >= 0) Wait();
}

bool StartedProgram::Ended() {
  if (!reaped_ && pid_ > 0) reaped_ = waitpid(pid_, &status_, WNOHANG) == pid_;
  return reaped_ || pid_ <= 0;
}

ProgramRun StartedProgram::Wait() {
  ProgramRun run;
  if (!reaped_ && pid_ > 0) reaped_ = waitpid(pid_, &status_, 0) == pid_;
  if (reaped_) {
    run.exitCode = WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
  }
  run.out = ReadAll(out_);
  run.err = ReadAll(err_);
  close(out_);
  close(err_);
  out_ = err_ = -1;
  return run;
}

bool UnprivilegedUserCanRun(const std::string& program) {
  const pid_t child = fork();
  if (child == 0) _exit(BecomeNobody() && access(program.c_str(), X_OK) == 0 ? 0 : 1);
  int status = 0;
  return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

ScratchDirectory::ScratchDirectory() {
  std::string pattern = (fs::temp_directory_path() / "bad-input.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::system_error(errno, std::generic_category(), "mkdtemp");
  path_ = pattern;
  // Readable by the unprivileged user that some rows run as.
  fs::permissions(path_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code error;
  // Directories a row made read-only must be writable again to be emptied.
  for (const auto& entry : fs::recursive_directory_iterator(path_, error)) {
    if (entry.is_directory(error) && !entry.is_symlink(error))
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
  }
  fs::remove_all(path_, error);
}

std::set<std::string> ScratchDirectory::Contents() const {
  std::set<std::string> contents;
  for (const auto& entry : fs::recursive_directory_iterator(path_))
    contents.insert(fs::relative(entry.path(), path_).string());
  return contents;
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}

}  // namespace test_support
