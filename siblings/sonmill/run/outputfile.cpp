#include "sonmill/run/outputfile.h"

#include "sonmill/cli/console.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sonmill {
namespace {

// The temporary path as the signal handlers see it: a fixed buffer, written before the
// file exists and cleared after it is renamed or removed.
char g_cleanupPath[4096];
std::atomic<bool> g_cleanupArmed { false };

void onSignal(int signal)
{
    if (g_cleanupArmed.exchange(false))
        ::unlink(g_cleanupPath);
    writeErrorLineFromSignal(Failures::kInterrupted);
    std::signal(signal, SIG_DFL);
    ::raise(signal);
}

std::string folderOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

std::optional<Failure> TemporaryOutput::check(const std::string &input, const std::string &output, bool overwrite)
{
    struct stat out = {};
    if (::stat(output.c_str(), &out) != 0)
        return std::nullopt; // nothing there yet: nothing to protect
    if (S_ISDIR(out.st_mode))
        return Failures::kOutputFolder;
    struct stat in = {};
    if (::stat(input.c_str(), &in) == 0 && sameFile(in, out))
        return Failures::kOutputIsInput;
    if (!overwrite)
        return Failures::kOutputExists;
    return std::nullopt;
}

TemporaryOutput::~TemporaryOutput()
{
    discard();
}

std::optional<Failure> TemporaryOutput::create(const std::string &finalPath, bool overwrite)
{
    m_final = finalPath;
    m_overwrite = overwrite;
    std::string pattern = folderOf(finalPath) + "/.sonmill-XXXXXX.part";
    if (pattern.size() >= sizeof g_cleanupPath)
        return withSystemError(Failures::kOutputCreate, ENAMETOOLONG);

    // The name is made in the handlers' own buffer, armed before the file exists, so no
    // moment passes in which a signal would leave the file behind.
    std::memcpy(g_cleanupPath, pattern.c_str(), pattern.size() + 1);
    g_cleanupArmed = true;
    const int fd = ::mkostemps(g_cleanupPath, 5, O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        g_cleanupArmed = false;
        return withSystemError(Failures::kOutputCreate, error);
    }
    ::close(fd);
    m_temporary = g_cleanupPath;
    return std::nullopt;
}

std::optional<Failure> TemporaryOutput::commit()
{
    // mkstemp makes the file private; give it the permissions of a normally created file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(m_temporary.c_str(), 0666 & ~mask);

    int result;
    if (m_overwrite) {
        result = ::rename(m_temporary.c_str(), m_final.c_str());
    } else {
        // Without -y a file that appeared meanwhile is still not replaced.
        result = ::renameat2(AT_FDCWD, m_temporary.c_str(), AT_FDCWD, m_final.c_str(), RENAME_NOREPLACE);
        if (result != 0 && errno == EINVAL) { // a file system without that flag
            struct stat existing = {};
            if (::stat(m_final.c_str(), &existing) == 0) {
                errno = EEXIST;
            } else {
                result = ::rename(m_temporary.c_str(), m_final.c_str());
            }
        }
    }
    if (result != 0) {
        const int error = errno;
        discard();
        return error == EEXIST ? Failures::kOutputExists : withSystemError(Failures::kWrite, error);
    }
    g_cleanupArmed = false;
    m_temporary.clear();
    return std::nullopt;
}

void TemporaryOutput::discard()
{
    if (m_temporary.empty())
        return;
    g_cleanupArmed = false;
    ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

std::uint64_t fileSizeOf(const std::string &path)
{
    struct stat status = {};
    return ::stat(path.c_str(), &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
}

void installCleanupOnSignals()
{
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : { SIGTERM, SIGINT, SIGHUP })
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN); // a closed console must not end the conversion
}

} // namespace sonmill
