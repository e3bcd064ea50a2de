#include "app/settings_location.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/path.h"

namespace app {
namespace {

DirectoryWritableFunction& WritableCheck()
{
    static DirectoryWritableFunction check;
    return check;
}

std::u16string WithSlash(std::u16string directory)
{
    if (!directory.empty() && directory.back() != u'/')
        directory += u'/';
    return directory;
}

const char* Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

}  // namespace

void SetDirectoryWritableFunction(DirectoryWritableFunction check) { WritableCheck() = std::move(check); }

bool DirectoryWritable(const std::u16string& directory)
{
    if (const auto& check = WritableCheck())
        return check(directory);
    // Making a file needs both the right to write and to search the folder.
    return !directory.empty() && ::access(NativePath(directory).c_str(), W_OK | X_OK) == 0;
}

std::u16string HomeDirectory()
{
    if (const char* home = Variable("HOME"))
        return WithSlash(PathText(home));
    if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir && *user->pw_dir)
        return WithSlash(PathText(user->pw_dir));
    return u"";
}

std::u16string UserSettingsDirectory()
{
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    if (const char* config = Variable("XDG_CONFIG_HOME"); config && config[0] == '/')
        return WithSlash(PathText(config)) + u"Nummernwerk/";
    const std::u16string home = HomeDirectory();
    return home.empty() ? u"" : home + u".config/Nummernwerk/";
}

SettingsLocation ChooseSettingsLocation(const std::u16string& programDirectory)
{
    if (!DirectoryWritable(programDirectory)) {
        const std::u16string settings = UserSettingsDirectory();
        const std::u16string home = HomeDirectory();
        if (!settings.empty() && !home.empty())
            return {settings, home, true};
    }
    return {programDirectory, programDirectory, false};
}

bool MakeDirectories(const std::u16string& directory)
{
    std::filesystem::path path(NativePath(directory));
    std::filesystem::path made;
    for (const auto& part : path) {
        made /= part;
        if (part.empty() || part == "/")
            continue;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

}  // namespace app
