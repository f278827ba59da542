#pragma once

#include <string>

// A fresh directory under the system's temporary directory, removed with its
// contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

void WriteTextFile(const std::string& path, const std::string& text);
std::string ReadTextFile(const std::string& path);

// The source tree's default settings file.
std::string ShippedSettingsPath();
// The directory of the built programs.
std::string ProgramDirectory();
