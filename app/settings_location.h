#pragma once
// Where Nummernwerk.ini lives and where the remembered directories start.
//
// A program unpacked into a folder of the user's own keeps its settings file
// beside the executable, and both panels start in that folder. A program
// installed for the whole system (/usr/bin) cannot write there, so the file
// goes to the user's configuration folder ($XDG_CONFIG_HOME/Nummernwerk/,
// normally ~/.config/Nummernwerk/) and the panels start in the home folder.
#include <functional>
#include <string>

namespace app {

struct SettingsLocation {
    std::u16string directory;         // holds Nummernwerk.ini; ends with "/"
    std::u16string defaultDirectory;  // start value of both remembered directories; ends with "/"
    bool createDirectory = false;     // directory may be missing and is made before writing
};

// Beside the program when the user may create files in its directory,
// otherwise the user's configuration folder and home folder. When not even a
// home folder is known, the program directory is used all the same.
SettingsLocation ChooseSettingsLocation(const std::u16string& programDirectory);

// The user's home folder ($HOME, else the password database), ending with "/";
// empty when neither knows one.
std::u16string HomeDirectory();
// $XDG_CONFIG_HOME/Nummernwerk/ when that variable holds an absolute path,
// otherwise <home>/.config/Nummernwerk/; empty without a home folder.
std::u16string UserSettingsDirectory();

// Whether the calling user may create files in directory (access(2), which
// root passes for every directory).
bool DirectoryWritable(const std::u16string& directory);
// Tests of the system-wide case replace the check (root would pass it); an
// empty function restores access(2).
using DirectoryWritableFunction = std::function<bool(const std::u16string& directory)>;
void SetDirectoryWritableFunction(DirectoryWritableFunction check);

// Creates directory and any missing folders above it, each new one readable
// only by the user (0700); true when it exists afterwards.
bool MakeDirectories(const std::u16string& directory);

}  // namespace app
