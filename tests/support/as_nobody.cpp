#include "support/as_nobody.h"

#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace kalvora::test {

namespace {
constexpr unsigned kChildSeconds = 20;

bool DropToNobody() {
  if (geteuid() != 0) return true;
  const passwd* nobody = getpwnam("nobody");
  if (nobody == nullptr) return false;
  return setgroups(0, nullptr) == 0 &&
         setresgid(nobody->pw_gid, nobody->pw_gid, nobody->pw_gid) == 0 &&
         setresuid(nobody->pw_uid, nobody->pw_uid, nobody->pw_uid) == 0 && geteuid() != 0;
}

void WriteAll(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}
}  // namespace

ChildOutcome RunAsNobody(const std::function<std::string()>& body, off_t fileSizeLimit) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {false, "no pipe"};
  const pid_t child = fork();
  if (child < 0) return {false, "no fork"};
  if (child == 0) {
    close(pipeFds[0]);
    alarm(kChildSeconds);
    if (!DropToNobody()) {
      WriteAll(pipeFds[1], "could not become nobody");
      _exit(1);
    }
    if (fileSizeLimit > 0) {
      std::signal(SIGXFSZ, SIG_IGN);  // a write past the cap fails instead of ending the process
      const rlimit cap{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
      setrlimit(RLIMIT_FSIZE, &cap);
    }
    WriteAll(pipeFds[1], body());
    _exit(0);
  }
  close(pipeFds[1]);
  ChildOutcome outcome;
  char buffer[4096];
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0) break;
    outcome.output.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  outcome.ran = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!outcome.ran) outcome.output += " (child ended with status " + std::to_string(status) + ")";
  return outcome;
}

}  // namespace kalvora::test
