#include "app/AppPaths.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string DataHome()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.local/share";
    return {};
}

}  // namespace

bool MakeFolders(const std::string& path)
{
    if (path.empty()) return false;
    if (IsFolder(path)) return true;
    for (size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1)) {
        const std::string part = path.substr(0, pos);
        if (!IsFolder(part) && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
    return IsFolder(path);
}

std::string ExecutableFolder()
{
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "./";
    std::string path(buffer, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

std::string AppDataFolder()
{
    const std::string home = DataHome();
    if (!home.empty()) {
        const std::string folder = home + "/Corvane/OrvaBSL";
        if (MakeFolders(folder)) return folder;
    }
    return ExecutableFolder();
}

std::string WindowCaption(const std::string& instrumentName) { return instrumentName + " Firmware Updater"; }

std::string ErrorFilePathFor(const std::string& folder, const std::string& caption)
{
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    return path + caption + ".errors.txt";
}
