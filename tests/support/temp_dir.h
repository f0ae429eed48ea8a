// A fresh folder under /tmp for one test, removed with everything in it afterwards.
#pragma once

#include <string>
#include <vector>

class TempDir {
  public:
    TempDir();
    ~TempDir();
    // The folder's path with a trailing "/", ready to have a file name appended.
    const std::string &prefix() const { return prefix_; }
    std::string path(const std::string &name) const { return prefix_ + name; }

  private:
    std::string prefix_;
};

std::vector<unsigned char> ReadBytes(const std::string &path);
std::string ReadText(const std::string &path);
void WriteBytes(const std::string &path, const std::vector<unsigned char> &bytes);
bool FileExists(const std::string &path);
