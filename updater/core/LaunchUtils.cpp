#include "updater/LaunchUtils.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#ifdef GV_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace updater {

namespace {

std::string trimBlanks(const std::string &text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Blank-separated words; double quotes group blanks into a word.
std::vector<std::string> splitParameters(const std::string &parameters)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (const char c : parameters) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

// "$NAME" and "${NAME}" replaced by the environment's value (empty when unset).
std::string expandEnvironment(const std::string &text)
{
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '$' || i + 1 >= text.size()) {
            result += text[i];
            continue;
        }
        std::size_t start = i + 1;
        std::size_t end = start;
        const bool braced = text[start] == '{';
        if (braced) {
            end = text.find('}', start);
            if (end == std::string::npos) {
                result += text[i];
                continue;
            }
            ++start;
        } else {
            while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
                ++end;
            if (end == start) {
                result += text[i];
                continue;
            }
        }
        const char *value = std::getenv(text.substr(start, end - start).c_str());
        if (value != nullptr)
            result += value;
        i = braced ? end : end - 1;
    }
    return result;
}

bool readAll(int fd, void *buffer, std::size_t size)
{
    auto *bytes = static_cast<char *>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void writeAll(int fd, const void *buffer, std::size_t size)
{
    const auto *bytes = static_cast<const char *>(buffer);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
}

// Starts the program as a grandchild in its own process group, so that it
// outlives this process without leaving a zombie behind. No descriptor of
// this process is inherited. The result is the started process's id, or 0
// when fork, chdir or exec failed.
pid_t spawnDetached(const std::vector<std::string> &arguments, const std::string &directory)
{
    std::vector<char *> argv;
    for (const auto &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    const bool searchPath = arguments.front().find('/') == std::string::npos;

    int pidPipe[2];
    int errorPipe[2];
    if (::pipe2(pidPipe, O_CLOEXEC) != 0)
        return 0;
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        ::close(pidPipe[0]);
        ::close(pidPipe[1]);
        return 0;
    }
    const pid_t middle = ::fork();
    if (middle == 0) {
        const pid_t program = ::fork();
        if (program == 0) {
            ::setpgid(0, 0);
            ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
            int error = 0;
            if (!directory.empty() && ::chdir(directory.c_str()) != 0) {
                error = errno;
            } else {
                if (searchPath)
                    ::execvp(argv[0], argv.data());
                else
                    ::execv(argv[0], argv.data());
                error = errno;
            }
            writeAll(errorPipe[1], &error, sizeof error);
            ::_exit(127);
        }
        writeAll(pidPipe[1], &program, sizeof program);
        ::_exit(0);
    }
    ::close(pidPipe[1]);
    ::close(errorPipe[1]);
    pid_t program = -1;
    int error = 0;
    if (middle > 0) {
        int status = 0;
        while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
        }
        if (!readAll(pidPipe[0], &program, sizeof program))
            program = -1;
        // The pipe reaches its end without data when exec succeeded.
        if (program > 0 && readAll(errorPipe[0], &error, sizeof error))
            program = -1;
    }
    ::close(pidPipe[0]);
    ::close(errorPipe[0]);
    return program > 0 ? program : 0;
}

#ifdef GV_HAVE_XCB
xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

std::vector<std::uint32_t> property32(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t property,
                                      xcb_atom_t type)
{
    std::vector<std::uint32_t> values;
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, 1 << 16), nullptr);
    if (reply != nullptr && reply->format == 32) {
        const auto *data = static_cast<const std::uint32_t *>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

std::string property8(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    std::string text;
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, 1 << 16), nullptr);
    if (reply != nullptr && reply->format == 8)
        text.assign(static_cast<const char *>(xcb_get_property_value(reply)),
                    static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return text;
}
#endif

} // namespace

bool ShellOpen(const std::string &fileName, const std::string &parameters, const std::string &directory)
{
    std::vector<std::string> arguments{"xdg-open", expandEnvironment(fileName)};
    // The desktop's open action takes one file; extra parameters have no place in it.
    (void)parameters;
    return spawnDetached(arguments, expandEnvironment(directory)) != 0;
}

bool StartProgram(const std::string &fileName, const std::string &parameters, const std::string &directory,
                  TProcessInformation &info)
{
    info.window = 0;
    info.threadId = 0;
    info.processId = 0;
    std::string workingDirectory = directory;
    if (workingDirectory.empty()) {
        std::vector<char> buffer(4096);
        if (::getcwd(buffer.data(), buffer.size()) != nullptr)
            workingDirectory = buffer.data();
    }
    std::vector<std::string> arguments{trimBlanks(fileName)};
    for (auto &word : splitParameters(parameters))
        arguments.push_back(word);
    if (arguments.front().empty()) {
        ShellOpen(fileName, parameters, directory);
        return false;
    }
    const pid_t pid = spawnDetached(arguments, workingDirectory);
    if (pid == 0) {
        ShellOpen(fileName, parameters, directory);
        return false;
    }
    info.processId = static_cast<std::uint32_t>(pid);
    info.threadId = static_cast<std::uint32_t>(pid);
#ifdef SYS_pidfd_open
    info.processHandle = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#endif
    const auto start = std::chrono::steady_clock::now();
    while (info.window == 0) {
        if (std::chrono::steady_clock::now() - start >= std::chrono::seconds(5))
            break;
        info.window = FindProcessWindow(info.processId, info.threadId);
        if (info.window == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

std::vector<TTopLevelWindow> TopLevelWindows()
{
    std::vector<TTopLevelWindow> found;
#ifdef GV_HAVE_XCB
    const char *display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        return found;
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
    if (connection == nullptr || xcb_connection_has_error(connection) != 0) {
        if (connection != nullptr)
            xcb_disconnect(connection);
        return found;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem > 0) {
        const xcb_window_t root = screens.data->root;
        const xcb_atom_t clientList = internAtom(connection, "_NET_CLIENT_LIST");
        const xcb_atom_t wmPid = internAtom(connection, "_NET_WM_PID");
        const xcb_atom_t windowType = internAtom(connection, "_NET_WM_WINDOW_TYPE");
        const xcb_atom_t normalType = internAtom(connection, "_NET_WM_WINDOW_TYPE_NORMAL");
        const xcb_atom_t wmName = internAtom(connection, "_NET_WM_NAME");
        const xcb_atom_t utf8 = internAtom(connection, "UTF8_STRING");
        std::vector<std::uint32_t> windows = property32(connection, root, clientList, XCB_ATOM_WINDOW);
        if (windows.empty()) {
            // No window manager: the root's children in stacking order.
            xcb_query_tree_reply_t *tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr);
            if (tree != nullptr) {
                const xcb_window_t *children = xcb_query_tree_children(tree);
                windows.assign(children, children + xcb_query_tree_children_length(tree));
            }
            std::free(tree);
        }
        for (const std::uint32_t window : windows) {
            TTopLevelWindow entry;
            entry.window = window;
            const auto pid = property32(connection, window, wmPid, XCB_ATOM_CARDINAL);
            entry.processId = pid.empty() ? 0 : pid.front();
            const auto types = property32(connection, window, windowType, XCB_ATOM_ATOM);
            entry.normal = types.empty() || (types.size() == 1 && types.front() == normalType);
            entry.title = property8(connection, window, wmName, utf8);
            if (entry.title.empty())
                entry.title = property8(connection, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
            found.push_back(std::move(entry));
        }
    }
    xcb_disconnect(connection);
#endif
    return found;
}

TWindowHandle FindProcessWindow(std::uint32_t processId, std::uint32_t threadId)
{
    for (const TTopLevelWindow &window : TopLevelWindows())
        if (window.processId != 0 && (window.processId == processId || window.processId == threadId) &&
            window.normal)
            return window.window;
    return 0;
}

} // namespace updater
