#include "tests/CliRun.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace zorellz::test {
namespace {

// In the child: the folder, the environment, the limit, then the tool.
[[noreturn]] void ExecTool(const std::vector<std::string>& args, const TToolOptions& options) {
  if (!options.Folder.empty() && chdir(options.Folder.c_str()) != 0) _exit(126);
  for (const auto& [name, value] : options.Env) setenv(name.c_str(), value.c_str(), 1);
  if (options.FileSizeLimit >= 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{static_cast<rlim_t>(options.FileSizeLimit),
                       static_cast<rlim_t>(options.FileSizeLimit)};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  std::vector<char*> argv;
  std::string tool = ZORELLZ_TOOL;
  argv.push_back(tool.data());
  std::vector<std::string> copies = args;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  execv(tool.c_str(), argv.data());
  _exit(127);
}

int Wait(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

// Feeds `input` to `to` and drains `out` and `err` together, so that
// neither side waits on a full pipe.
void Exchange(int to, const std::string& input, int out, int err, TToolRun& run) {
  std::size_t sent = 0;
  if (input.empty() && to >= 0) {
    close(to);
    to = -1;
  }
  char block[65536];
  while (out >= 0 || err >= 0) {
    pollfd fds[3] = {{out, POLLIN, 0}, {err, POLLIN, 0}, {to, POLLOUT, 0}};
    if (poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("poll failed");
    }
    if (to >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
      const ssize_t wrote = write(to, input.data() + sent, input.size() - sent);
      if (wrote > 0) sent += static_cast<std::size_t>(wrote);
      if (wrote < 0 || sent == input.size()) {
        close(to);
        to = -1;
      }
    }
    int* ends[2] = {&out, &err};
    std::string* texts[2] = {&run.Out, &run.Err};
    for (int i = 0; i < 2; ++i) {
      if (*ends[i] < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      const ssize_t got = read(*ends[i], block, sizeof block);
      if (got > 0) {
        texts[i]->append(block, static_cast<std::size_t>(got));
      } else {
        close(*ends[i]);
        *ends[i] = -1;
      }
    }
  }
  if (to >= 0) close(to);
}

}  // namespace

TToolRun RunTool(const std::vector<std::string>& args, const TToolOptions& options) {
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    if (options.Input) {
      dup2(in[0], STDIN_FILENO);
    } else {
      const int null = open("/dev/null", O_RDONLY);
      dup2(null, STDIN_FILENO);
    }
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    ExecTool(args, options);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  // A tool that stops reading early must not end the test with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  TToolRun run;
  Exchange(options.Input ? in[1] : (close(in[1]), -1), options.Input.value_or(""), out[0], err[0],
           run);
  run.Status = Wait(child);
  return run;
}

TToolRun RunToolOnTerminal(const std::vector<std::string>& args, const std::string& typed,
                           const TToolOptions& options) {
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child < 0) throw std::runtime_error("forkpty failed");
  if (child == 0) ExecTool(args, options);
  TToolRun run;
  // Typed ahead: the terminal keeps the lines until the tool reads them.
  // An end of input (^D) follows them, so that a question asked once more
  // than expected fails the test instead of waiting for ever.
  const std::string keys = typed + "\x04";
  if (write(terminal, keys.data(), keys.size()) < 0) {
    throw std::runtime_error("cannot type on the terminal");
  }
  char block[4096];
  for (;;) {
    const ssize_t got = read(terminal, block, sizeof block);
    if (got > 0) {
      run.Out.append(block, static_cast<std::size_t>(got));
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // EIO once the tool has closed its side
    }
  }
  close(terminal);
  run.Status = Wait(child);
  return run;
}

}  // namespace zorellz::test
